#include "expected.h"

#include <cstdio>

#include "utf8.h"

namespace he::test {

bool to_cp1255(std::string_view s, std::string& out) {
    out.clear();
    for (std::size_t i = 0; i < s.size(); ++i) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (c == '\r' || (c >= 0x20 && c < 0x7F)) {
            out += static_cast<char>(c);
            continue;
        }
        if (i + 1 >= s.size()) return false;
        const auto d = static_cast<unsigned char>(s[i + 1]);
        if (c == 0xC2 && d == 0xB0) {
            out += static_cast<char>(0xB0);
        } else if (c == 0xD7 && d >= 0x90 && d <= 0xAA) {  // U+05D0 .. U+05EA
            out += static_cast<char>(0xE0 + (d - 0x90));
        } else {
            return false;
        }
        ++i;
    }
    return true;
}

std::string to_utf8(std::string_view s) { return he::to_utf8(s); }

namespace {

// Reads a double-quoted text with the escapes \r, \" and \\.
bool read_quoted(std::string_view s, std::string& utf8) {
    if (s.size() < 2 || s.front() != '"' || s.back() != '"') return false;
    s = s.substr(1, s.size() - 2);
    utf8.clear();
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '"') return false;
        if (s[i] != '\\') {
            utf8 += s[i];
            continue;
        }
        if (++i == s.size()) return false;
        switch (s[i]) {
            case 'r': utf8 += '\r'; break;
            case '"': utf8 += '"'; break;
            case '\\': utf8 += '\\'; break;
            default: return false;
        }
    }
    return true;
}

}  // namespace

ExpectedSet parse_expected(std::string_view file) {
    ExpectedSet set;
    std::vector<Expected>* section = nullptr;
    bool in_absent = false;
    int lineno = 0;
    while (!file.empty()) {
        const auto eol = file.find('\n');
        std::string_view line = file.substr(0, eol);
        file = eol == std::string_view::npos ? std::string_view{} : file.substr(eol + 1);
        ++lineno;
        const auto fail = [&](std::string why) {
            set.errors.push_back("tests/data/texts.txt:" + std::to_string(lineno) + ": " + why + ": " + std::string(line));
        };
        if (lineno == 1 && line.starts_with("\xEF\xBB\xBF")) {
            fail("starts with a byte order mark (EF BB BF); save the file as UTF-8 without one");
            line.remove_prefix(3);
        }
        if (line.empty() || line.front() == '#') continue;
        if (line == "[identity]" || line == "[catalogue]" || line == "[absent]") {
            section = line == "[identity]" ? &set.identity : line == "[catalogue]" ? &set.catalogue : nullptr;
            in_absent = line == "[absent]";
            continue;
        }
        const auto space = line.find(' ');
        const std::string name(line.substr(0, space));
        if (in_absent) {
            if (space != std::string_view::npos) fail("an absent name stands alone on its line");
            else set.absent.push_back(name);
            continue;
        }
        if (section == nullptr || space == std::string_view::npos) {
            fail("not a line of the form: Name \"text\" or Name open");
            continue;
        }
        const std::string_view rest = line.substr(space + 1);
        Expected e{name, rest == "open", {}, lineno};
        std::string utf8;
        if (!e.open && !read_quoted(rest, utf8)) {
            fail("the text is not one double-quoted string with the escapes \\r, \\\" and \\\\");
            continue;
        }
        if (!e.open && !to_cp1255(utf8, e.bytes)) {
            fail("the text holds a character the module does not carry (a mark, a control or a letter of another script)");
            continue;
        }
        section->push_back(std::move(e));
    }
    return set;
}

namespace {

std::string byte_name(unsigned char c) {
    char out[48];
    if (c == ' ') std::snprintf(out, sizeof out, "a blank (0x20)");
    else if (c == '\r') std::snprintf(out, sizeof out, "a line break (0x0D)");
    else if (c >= 0x21 && c < 0x7F) std::snprintf(out, sizeof out, "'%c' (0x%02X)", c, c);
    else std::snprintf(out, sizeof out, "%s (0x%02X)", he::to_utf8(std::string(1, static_cast<char>(c))).c_str(), c);
    return out;
}

}  // namespace

std::string difference(std::string_view table, std::string_view file) {
    std::size_t i = 0;
    while (i < table.size() && i < file.size() && table[i] == file[i]) ++i;
    if (i == table.size() && i == file.size()) return {};
    const auto at = [](std::string_view s, std::size_t k) {
        return k < s.size() ? byte_name(static_cast<unsigned char>(s[k])) : std::string("the end of the text");
    };
    return "byte " + std::to_string(i + 1) + " is " + at(table, i) + " in the table and " + at(file, i) +
           " in tests/data/texts.txt";
}

std::vector<Ordinal> expected_ordinals(const ExpectedSet& set) {
    std::vector<Ordinal> out{{"GetTrCharset", 1}};
    const auto count = static_cast<unsigned>(set.catalogue.size());
    for (unsigned i = count; i-- > 0;) out.push_back({set.catalogue[i].name, count + 1 - i});
    unsigned next = count + 2;
    for (const char* name : {"GetTrVersion", "GetTrDate", "GetTrTranslation", "GetTrCode", "GetTrLanguage", "GetCompatibility"})
        out.push_back({name, next++});
    return out;
}

}  // namespace he::test
