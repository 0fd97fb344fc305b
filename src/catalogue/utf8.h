// Windows-1255 texts of the catalogue back to UTF-8, for listings, messages
// and review pages.
#pragma once

#include <string>
#include <string_view>

namespace he {

// With `visible_cr` each CR is shown as "⏎"; a byte no text may hold becomes U+FFFD.
inline std::string to_utf8(std::string_view cp1255, bool visible_cr = false) {
    std::string out;
    for (const char ch : cp1255) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '\r' && visible_cr) {
            out += "\xE2\x8F\x8E";
        } else if (c < 0x80) {
            out += ch;
        } else if (c == 0xB0) {
            out += "\xC2\xB0";
        } else if (c >= 0xE0 && c <= 0xFA) {  // the Hebrew letters, U+05D0 to U+05EA
            out += '\xD7';
            out += static_cast<char>(0x90 + (c - 0xE0));
        } else {
            out += "\xEF\xBF\xBD";
        }
    }
    return out;
}

}  // namespace he
