// The table files as text (table_files.h).
#include "table_files.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <vector>

#include "table.h"
#include "files.h"

namespace he::tool {
namespace {

// A text as the tables write it: a C string literal per line, CR as \r.
std::string c_literal(std::string_view s) {
    return quoted(s, {{'\\', "\\\\"}, {'"', "\\\""}, {'\r', "\\r"}});
}

// One row of a table file, and where its text stands: from its first literal
// to the end of its last (adjacent literals make one text), and `after_name`
// just past the comma after its name.
struct Row {
    unsigned line = 0;  // the line of FIXED or OPEN, as __LINE__ gives it
    bool open = false;
    std::string name, text, english;
    std::size_t after_name = 0, first = 0, end = 0;
};

struct Problem {
    unsigned line;
    std::string name, message;
};

// Reads a table file as the compiler reads it through the row macros:
// blanks and comments are passed over, and so is the guard that stops a
// table included alone (#if !defined(FIXED) || !defined(OPEN) ... #endif);
// FIXED(Name, "text", "English") and OPEN(...) make a row each. Anything else
// is a problem: the compiler would refuse it, or read it as hecat does not.
// After a problem, reading goes on at the next line that begins a row.
class TableReader {
public:
    explicit TableReader(std::string_view s) : s_(s), i_(s.starts_with("\xEF\xBB\xBF") ? 3 : 0) {}

    void read(std::vector<Row>& rows, std::vector<Problem>& problems) {
        while (true) {
            std::string why = blanks();
            if (why.empty() && i_ == s_.size()) return;
            Row r;
            if (why.empty() && peek() == '#') why = directive();
            else if (why.empty()) why = row(r);
            if (why.empty() && r.line != 0) rows.push_back(std::move(r));
            if (why.empty()) continue;
            problems.push_back({line_, r.name, why});
            resume();
        }
    }

private:
    std::string_view s_;
    std::size_t i_;
    unsigned line_ = 1;

    char peek() const { return i_ < s_.size() ? s_[i_] : '\0'; }
    void step() { line_ += s_[i_++] == '\n'; }

    // Passes over blanks, line ends and comments.
    std::string blanks() {
        while (i_ < s_.size()) {
            const char c = s_[i_];
            if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v') {
                step();
            } else if (s_.substr(i_, 2) == "//") {
                while (i_ < s_.size() && s_[i_] != '\n') step();
            } else if (s_.substr(i_, 2) == "/*") {
                const auto close = s_.find("*/", i_ + 2);
                if (close == std::string_view::npos) return "a comment that is never closed";
                while (i_ < close + 2) step();
            } else {
                break;
            }
        }
        return {};
    }

    // Goes on at the next line whose first character is not a blank and could begin a row.
    void resume() {
        while (i_ < s_.size()) {
            while (i_ < s_.size() && s_[i_] != '\n') step();
            if (i_ < s_.size()) step();
            std::size_t k = i_;
            while (k < s_.size() && (s_[k] == ' ' || s_[k] == '\t')) ++k;
            if (k < s_.size() && (std::isalpha(static_cast<unsigned char>(s_[k])) || s_[k] == '#' || s_[k] == '/')) return;
        }
    }

    // A preprocessor line: only the guard is read (and what it holds passed over).
    std::string directive() {
        const auto line = [&] {
            const std::size_t start = i_;
            while (i_ < s_.size() && s_[i_] != '\n') step();
            std::string text(s_.substr(start, i_ - start));
            if (const auto comment = text.find("//"); comment != std::string::npos) text.resize(comment);
            std::string words;  // blanks made single
            for (const char c : text)
                if (c != ' ' && c != '\t' && c != '\r') words += c;
                else if (!words.empty() && words.back() != ' ') words += ' ';
            while (!words.empty() && words.back() == ' ') words.pop_back();
            return words;
        };
        if (line() != "#if !defined(FIXED) || !defined(OPEN)")
            return "a preprocessor line hecat does not read (a table holds rows, comments and its guard "
                   "#if !defined(FIXED) || !defined(OPEN) ... #endif)";
        while (i_ < s_.size()) {
            step();  // past the line end
            while (peek() == ' ' || peek() == '\t') step();
            if (peek() == '#' && line() == "#endif") return {};
            while (i_ < s_.size() && s_[i_] != '\n') step();
        }
        return "the guard #if !defined(FIXED) || !defined(OPEN) has no #endif";
    }

    std::string identifier() {
        const std::size_t start = i_;
        while (i_ < s_.size() && (std::isalnum(static_cast<unsigned char>(s_[i_])) || s_[i_] == '_')) step();
        if (i_ == start || std::isdigit(static_cast<unsigned char>(s_[start]))) return {};
        return std::string(s_.substr(start, i_ - start));
    }

    std::string expect(char c, std::string_view what) {
        if (std::string why = blanks(); !why.empty()) return why;
        if (peek() != c) return "expected " + std::string(what);
        step();
        return {};
    }

    std::string row(Row& r) {
        const unsigned line = line_;
        const std::string kind = identifier();
        if (kind != "FIXED" && kind != "OPEN")
            return "not a row: a table holds FIXED(Name, \"text\", \"English\") and OPEN(...) rows";
        if (std::string why = expect('(', "( after " + kind); !why.empty()) return why;
        if (std::string why = blanks(); !why.empty()) return why;
        r.name = identifier();
        if (r.name.empty()) return "expected the entry's name";
        if (std::string why = expect(',', ", after the entry's name"); !why.empty()) return why;
        r.after_name = i_;
        if (std::string why = literals(r.text, &r.first, &r.end); !why.empty()) return why;
        if (std::string why = expect(',', ", after the text"); !why.empty()) return why;
        if (std::string why = literals(r.english, nullptr, nullptr); !why.empty()) return why;
        if (std::string why = expect(')', ") after the English: a row has a name, a text and its English"); !why.empty())
            return why;
        r.line = line;
        r.open = kind == "OPEN";
        return {};
    }

    // Adjacent string literals, as one text.
    std::string literals(std::string& out, std::size_t* first, std::size_t* end) {
        if (std::string why = blanks(); !why.empty()) return why;
        if (peek() != '"') return "expected a text between double quotes";
        if (first != nullptr) *first = i_;
        while (peek() == '"') {
            if (std::string why = literal(out); !why.empty()) return why;
            if (end != nullptr) *end = i_;
            if (std::string why = blanks(); !why.empty()) return why;
        }
        return {};
    }

    std::string literal(std::string& out) {
        for (step();;) {
            if (i_ == s_.size() || peek() == '\n') return "a text whose closing double quote is not on its line";
            const char c = peek();
            step();
            if (c == '"') return {};
            if (c != '\\') out += c;
            else if (std::string why = escape(out); !why.empty()) return why;
        }
    }

    // The escapes of C++ string literals, as GCC reads them in UTF-8.
    std::string escape(std::string& out) {
        if (i_ == s_.size() || peek() == '\n') return "a backslash at the end of a line";
        const char k = peek();
        step();
        constexpr std::string_view simple = "'\"?\\abfnrtv", value = "'\"?\\\a\b\f\n\r\t\v";
        if (const auto at = simple.find(k); at != std::string_view::npos) {
            out += value[at];
            return {};
        }
        const auto digits = [&](int base, std::size_t most) {
            unsigned long v = 0;
            std::size_t n = 0;
            for (; n < most && i_ < s_.size(); ++n) {
                const char d = static_cast<char>(std::tolower(static_cast<unsigned char>(peek())));
                const int x = d >= '0' && d <= '9' ? d - '0' : d >= 'a' && d <= 'f' ? d - 'a' + 10 : 99;
                if (x >= base) break;
                v = std::min(v * static_cast<unsigned long>(base) + static_cast<unsigned long>(x), 0x1000000UL);
                step();
            }
            return std::pair{v, n};
        };
        if (k >= '0' && k <= '7') {
            --i_;
            const auto [v, n] = digits(8, 3);
            if (v > 0xFF) return "an octal escape beyond a byte";
            out += static_cast<char>(v);
            return {};
        }
        if (k == 'x') {
            const auto [v, n] = digits(16, std::string_view::npos);
            if (n == 0) return "\\x without a hexadecimal digit";
            if (v > 0xFF) return "a hexadecimal escape beyond a byte";
            out += static_cast<char>(v);
            return {};
        }
        if (k == 'u' || k == 'U') {
            const std::size_t want = k == 'u' ? 4 : 8;
            const auto [v, n] = digits(16, want);
            if (n != want || v > 0x10FFFF || (v >= 0xD800 && v <= 0xDFFF)) return "a \\u or \\U escape that names no character";
            const auto cp = static_cast<unsigned>(v);
            if (cp < 0x80) {
                out += static_cast<char>(cp);
            } else if (cp < 0x800) {
                out += static_cast<char>(0xC0 | cp >> 6), out += static_cast<char>(0x80 | (cp & 0x3F));
            } else if (cp < 0x10000) {
                out += static_cast<char>(0xE0 | cp >> 12), out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
                out += static_cast<char>(0x80 | (cp & 0x3F));
            } else {
                out += static_cast<char>(0xF0 | cp >> 18), out += static_cast<char>(0x80 | (cp >> 12 & 0x3F));
                out += static_cast<char>(0x80 | (cp >> 6 & 0x3F)), out += static_cast<char>(0x80 | (cp & 0x3F));
            }
            return {};
        }
        return std::string("an escape the compiler does not know: \\") + k;
    }
};

std::vector<Row> rows_of(const std::string& file) {
    std::vector<Row> rows;
    std::vector<Problem> problems;
    TableReader(file).read(rows, problems);
    return rows;
}

// The text between the double quotes of a preprocessor line, or "".
std::string quoted_part(std::string_view line) {
    const auto open = line.find('"'), close = line.rfind('"');
    return open == std::string_view::npos || close == open ? std::string() : std::string(line.substr(open + 1, close - open - 1));
}

bool exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

// The names exports/catalogue.txt lists, as the build reads it
// (cmake/module_def.cmake): a name a line, blank lines and # comments passed
// over; and every exported name by ordinal.
void read_order(Catalogue& c, const std::string& path, const std::string& content) {
    constexpr std::string_view identity_top[] = {"GetTrVersion", "GetTrDate", "GetTrTranslation",
                                                 "GetTrCode",    "GetTrLanguage", "GetCompatibility"};
    const auto unread = [&](unsigned line, std::string message) {
        c.unread.push_back({"", std::move(message), path + ":" + std::to_string(line)});
    };
    unsigned line = 0;
    for (std::size_t p = 0; p < content.size();) {
        const auto eol = std::min(content.find('\n', p), content.size());
        std::string_view name(content.data() + p, eol - p);
        p = eol + 1, ++line;
        while (!name.empty() && std::isspace(static_cast<unsigned char>(name.front()))) name.remove_prefix(1);
        while (!name.empty() && std::isspace(static_cast<unsigned char>(name.back()))) name.remove_suffix(1);
        if (name.empty() || name.front() == '#') continue;
        const bool word = std::isalpha(static_cast<unsigned char>(name.front())) &&
                          std::all_of(name.begin(), name.end(), [](char ch) { return std::isalnum(static_cast<unsigned char>(ch)) || ch == '_'; });
        if (!word) unread(line, "not an export name: '" + std::string(name) + "'");
        else if (std::find(c.order.begin(), c.order.end(), name) != c.order.end()) unread(line, std::string(name) + " is listed twice");
        else if (name == "GetTrCharset" || std::find(std::begin(identity_top), std::end(identity_top), name) != std::end(identity_top))
            unread(line, std::string(name) + " is an identity export, not a catalogue entry");
        else c.order.push_back(c.strings.emplace_back(name));
    }
    c.by_ordinal.push_back("GetTrCharset");
    c.by_ordinal.insert(c.by_ordinal.end(), c.order.rbegin(), c.order.rend());
    c.by_ordinal.insert(c.by_ordinal.end(), std::begin(identity_top), std::end(identity_top));
}

}  // namespace

Catalogue read_catalogue(const std::string& root) {
    Catalogue c;
    const auto load = [&](const std::string& path, bool needed) -> std::optional<std::string> {
        auto content = read_file(root + "/" + path);
        if (content) c.files.emplace_back(path, *content);
        else if (needed) c.unread.push_back({"", "cannot be read", path});
        return content;
    };
    const std::string list = "src/catalogue/tables.inc";
    if (const auto content = load(list, true)) {
        std::string family;
        unsigned line = 0;
        for (std::size_t p = 0; p < content->size();) {
            const auto eol = std::min(content->find('\n', p), content->size());
            const std::string_view text(content->data() + p, eol - p);
            p = eol + 1, ++line;
            const auto unread = [&](std::string message) {
                c.unread.push_back({"", std::move(message), list + ":" + std::to_string(line)});
            };
            if (text.starts_with("#define FAMILY ")) {
                family = quoted_part(text);
                if (!find_family(family)) unread("the family \"" + family + "\" is not in src/families.inc");
            } else if (text.starts_with("#undef FAMILY")) {
                family.clear();
            } else if (text.starts_with("#include ")) {
                const std::string name = quoted_part(text);
                // As the compiler looks for it: beside tables.inc, then in src/.
                const std::string path = exists(root + "/src/catalogue/" + name) ? "src/catalogue/" + name : "src/" + name;
                if (family.empty() || !find_family(family)) {
                    if (family.empty()) unread("a table included with no FAMILY defined");
                    continue;
                }
                const auto table = load(path, true);
                if (!table) continue;
                std::vector<Row> rows;
                std::vector<Problem> problems;
                TableReader(*table).read(rows, problems);
                const std::string_view file = c.strings.emplace_back(path), kind = c.strings.emplace_back(family);
                for (const auto& pr : problems)
                    c.unread.push_back({pr.name, "cannot be read: " + pr.message, path + ":" + std::to_string(pr.line)});
                for (auto& r : rows) {
                    const std::string_view utf8 = c.strings.emplace_back(std::move(r.text));
                    Entry e{c.strings.emplace_back(std::move(r.name)), kind, c.strings.emplace_back(to_cp1255(utf8)), utf8,
                            c.strings.emplace_back(std::move(r.english)), r.open, file, r.line};
                    (family == "identity" ? c.identity : c.rows).push_back(e);
                }
            }
        }
    }
    const std::string order = "exports/catalogue.txt";
    if (const auto content = load(order, true)) read_order(c, order, *content);
    // Not read for rows: the import rewrites it with the tables, and checks
    // before it writes that none of the files it read has changed since.
    load("tests/data/texts.txt", false);
    return c;
}

std::string changed_since_read(const Catalogue& catalogue, const std::string& root) {
    for (const auto& [path, content] : catalogue.files)
        if (read_file(root + "/" + path) != content) return path + " has changed since hecat read it";
    return {};
}

std::optional<std::string> row_text(const std::string& file, std::string_view name) {
    for (auto& r : rows_of(file))
        if (r.name == name) return std::move(r.text);
    return std::nullopt;
}

std::vector<std::pair<std::string, std::string>> row_texts(const std::string& file) {
    std::vector<std::pair<std::string, std::string>> texts;
    for (auto& r : rows_of(file)) texts.emplace_back(std::move(r.name), std::move(r.text));
    return texts;
}

bool rewrite_row(std::string& file, std::string_view name, std::string_view text) {
    const auto rows = rows_of(file);
    const auto r = std::find_if(rows.begin(), rows.end(), [&](const Row& row) { return row.name == name; });
    if (r == rows.end()) return false;
    const std::size_t at = r->after_name, first = r->first, end = r->end;
    std::string literal;
    const bool multiline = text.find('\r') != std::string_view::npos && file.substr(at, first - at).find('\n') != std::string::npos;
    if (multiline) {
        const std::string indent = file.substr(file.rfind('\n', first) + 1, first - file.rfind('\n', first) - 1);
        for (std::size_t start = 0;;) {
            const auto cr = text.find('\r', start);
            literal += c_literal(text.substr(start, cr == std::string_view::npos ? cr : cr + 1 - start));
            if (cr == std::string_view::npos) break;
            literal += "\n" + indent;
            start = cr + 1;
        }
    } else {
        literal = c_literal(text);
    }
    file.replace(first, end - first, literal);
    return true;
}

bool rewrite_expected(std::string& file, std::string_view name, std::string_view text) {
    const std::string head = std::string(name) + " ";
    for (std::size_t p = file.find(head); p != std::string::npos; p = file.find(head, p + 1)) {
        if (p != 0 && file[p - 1] != '\n') continue;
        const auto eol = file.find('\n', p);
        file.replace(p, eol - p, head + c_literal(text));
        return true;
    }
    return false;
}

}  // namespace he::tool
