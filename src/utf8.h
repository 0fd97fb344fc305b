// The catalogue's texts between Windows-1255 and UTF-8 at run time, for the
// tools: listings, messages, review pages, and texts a translator wrote.
#pragma once

#include <string>
#include <string_view>

#include "cp1255.h"

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

// UTF-8 to the module's Windows-1255 bytes, as the compiler converts the
// tables' texts (a character the module may not carry becomes 0xFF; the
// rules report it from the UTF-8).
inline std::string to_cp1255(std::string_view utf8) {
    std::string out;
    cp1255::encode_each(utf8, [&](char c) { out += c; });
    return out;
}

}  // namespace he
