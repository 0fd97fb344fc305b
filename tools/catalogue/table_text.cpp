// One table file as text (table_text.h).
#include "table_text.h"

#include <algorithm>
#include <cctype>

#include "model.h"

namespace he::tool {
namespace {

// A text as the tables write it: one C string literal, CR as \r, and
// a ? after a ? as \?, so that no trigraph forms (a compiler in an ISO mode
// reads "??!" as "|").
std::string c_literal(std::string_view s) {
    std::string out(1, '"');
    for (const char c : s) {
        if (c == '\\' || c == '"') out.append(1, '\\').append(1, c);
        else if (c == '\r') out += "\\r";
        else if (c == '?' && out.back() == '?') out += "\\?";
        else out += c;
    }
    return out + '"';
}


// The reader of read_rows: a cursor over the file, a line count, and what
// each construct of a table is read as.
class TableReader {
public:
    explicit TableReader(std::string_view s, Written written = Written::today)
        : s_(s), history_(written == Written::in_history), start_(s.starts_with("\xEF\xBB\xBF") ? 3 : 0), i_(start_) {}

    void read(std::vector<TableRow>& rows, std::vector<TableProblem>& problems) {
        problems = hazards(s_);
        while (true) {
            std::string why = blanks();
            if (why.empty() && i_ == s_.size()) break;
            TableRow r;
            if (why.empty() && peek() == '#') why = directive();
            else if (why.empty()) why = row(r);
            if (why.empty() && r.line != 0) rows.push_back(std::move(r));
            if (why.empty()) continue;
            problems.push_back({line_, r.name, why});
            resume();
        }
        std::stable_sort(problems.begin(), problems.end(), [](const TableProblem& a, const TableProblem& b) { return a.line < b.line; });
    }

private:
    std::string_view s_;
    bool history_;
    std::size_t start_, i_;
    unsigned line_ = 1;
    bool odd_break_ = false;  // a literal read gave a line break written other than \r

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

    // Passes over blanks and comments to the end of the line: false where
    // anything else stands there, or a comment goes on past it.
    bool rest_is_blank() {
        while (true) {
            while (peek() == ' ' || peek() == '\t' || peek() == '\r') step();
            if (s_.substr(i_, 2) == "//") {
                while (i_ < s_.size() && s_[i_] != '\n') step();
            } else if (s_.substr(i_, 2) == "/*") {
                const auto close = s_.find("*/", i_ + 2);
                if (close == std::string_view::npos || s_.substr(i_, close - i_).find('\n') != std::string_view::npos) return false;
                while (i_ < close + 2) step();
                continue;
            }
            return i_ == s_.size() || peek() == '\n';
        }
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

    // Whether only blanks stand before the character read next on its line.
    bool first_on_line() const {
        std::size_t k = i_;
        while (k > start_ && (s_[k - 1] == ' ' || s_[k - 1] == '\t')) --k;
        return k == start_ || s_[k - 1] == '\n';
    }

    // The preprocessor line read next, to its end: its // comment left out, blanks made single.
    std::string line_words() {
        const std::size_t start = i_;
        while (i_ < s_.size() && s_[i_] != '\n') step();
        std::string text(s_.substr(start, i_ - start));
        if (const auto comment = text.find("//"); comment != std::string::npos) text.resize(comment);
        std::string words;
        for (const char c : text)
            if (c != ' ' && c != '\t' && c != '\r') words += c;
            else if (!words.empty() && words.back() != ' ') words += ' ';
        while (!words.empty() && words.back() == ' ') words.pop_back();
        return words;
    }

    // The name of the preprocessor line read next ("error", "endif"...), read past.
    std::string directive_name() {
        step();
        while (peek() == ' ' || peek() == '\t') step();
        return identifier();
    }

    // The rest of an #error line: one double-quoted text without a backslash, then only comments.
    bool error_text() {
        while (peek() == ' ' || peek() == '\t') step();
        if (peek() != '"') return false;
        for (step(); peek() != '"'; step())
            if (i_ == s_.size() || peek() == '\n' || peek() == '\\') return false;
        step();
        return rest_is_blank();
    }

    // A preprocessor line: only the guard is read, and inside it #error lines alone.
    std::string directive() {
        const std::string guard = "#if !defined(QUOTED) || !defined(OPEN)";
        if (!first_on_line()) return "a # after other text on its line";
        const std::string words = line_words();
        if (words != guard && !(history_ && words == "#if !defined(FIXED) || !defined(OPEN)"))
            return "a preprocessor line hecat does not read (a table holds rows, comments and its guard as the tables write it: " +
                   guard + ", #error \"...\", #endif)";
        while (true) {
            if (std::string why = blanks(); !why.empty()) return why;
            if (i_ == s_.size()) return "the guard " + guard + " has no #endif";
            const std::string name = peek() == '#' && first_on_line() ? directive_name() : "";
            if (name == "endif") return rest_is_blank() ? "" : "text after #endif on its line, which the compiler does not read as a row";
            if (name != "error" || !error_text())
                return "inside the guard, a line other than #error \"...\" and #endif: hecat does not read it as the compiler does";
        }
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

    // The English of a text of several lines breaks its lines with \r where
    // the text does; any other line break in it would end a line of the PO
    // file's msgid or comment.
    static bool english_breaks_fit(const TableRow& r) {
        const auto breaks = [](const std::string& s) { return std::count(s.begin(), s.end(), '\r'); };
        return r.english.find('\n') == std::string::npos && (breaks(r.english) == 0 || breaks(r.english) == breaks(r.text));
    }

    std::string row(TableRow& r) {
        const unsigned line = line_;
        const std::string kind = identifier();
        const bool quoted = kind == "QUOTED" || (history_ && kind == "FIXED");
        if (!quoted && kind != "OPEN")
            return "not a row: a table holds QUOTED(Name, \"text\", \"English\") and OPEN(...) rows";
        if (std::string why = expect('(', "( after " + kind); !why.empty()) return why;
        if (std::string why = blanks(); !why.empty()) return why;
        r.name = identifier();
        if (r.name.empty()) return "expected the entry's name";
        if (std::string why = expect(',', ", after the entry's name"); !why.empty()) return why;
        r.after_name = i_;
        if (std::string why = literals(r.text, &r.first, &r.end); !why.empty()) return why;
        if (std::string why = expect(',', ", after the text"); !why.empty()) return why;
        odd_break_ = false;
        if (std::string why = literals(r.english, nullptr, nullptr); !why.empty()) return why;
        if (odd_break_ || !english_breaks_fit(r))
            return "a line break in the English other than a \\r where its text breaks a line";
        if (std::string why = expect(')', ") after the English: a row has a name, a text and its English"); !why.empty())
            return why;
        r.line = line;
        r.quoted = quoted;
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
            const bool plain_cr = c == '\\' && peek() == 'r';
            const std::size_t before = out.size();
            if (c != '\\') out += c;
            else if (std::string why = escape(out); !why.empty()) return why;
            odd_break_ = odd_break_ || (!plain_cr && out.find_first_of("\r\n", before) != std::string::npos);
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

std::vector<TableRow> rows_of(const std::string& file, Written written) {
    std::vector<TableRow> rows;
    std::vector<TableProblem> problems;
    TableReader(file, written).read(rows, problems);
    return rows;
}

}  // namespace

std::vector<TableProblem> hazards(std::string_view s) {
    std::vector<TableProblem> found;
    unsigned line = 1;
    for (std::size_t i = 0; i < s.size(); line += s[i++] == '\n') {
        if (s[i] == '\r' && s.substr(i + 1, 1) != "\n") {
            found.push_back({line, "", "a CR not followed by LF: the compiler ends a line there, hecat does not"});
        } else if (s[i] == '\\') {
            const std::size_t end = s.find_first_not_of(" \t", i + 1);
            if (end != std::string_view::npos && (s[end] == '\n' || s[end] == '\r'))
                found.push_back({line, "", "a backslash at the end of a line: the compiler joins the next line to it"});
        } else if (s.substr(i, 2) == "??" && i + 2 < s.size() && std::string_view("=/'()!<>-").find(s[i + 2]) != std::string_view::npos) {
            found.push_back({line, "", "the trigraph " + std::string(s.substr(i, 3)) +
                                           ", which a compiler in an ISO mode reads as another character (write a ? after a ? as ?\\?)"});
        }
    }
    return found;
}

void read_rows(std::string_view file, Written written, std::vector<TableRow>& rows, std::vector<TableProblem>& problems) {
    TableReader(file, written).read(rows, problems);
}

std::optional<std::string> row_text(const std::string& file, std::string_view name) {
    for (auto& r : rows_of(file, Written::in_history))
        if (r.name == name) return std::move(r.text);
    return std::nullopt;
}

std::vector<std::pair<std::string, std::string>> row_texts(const std::string& file) {
    std::vector<std::pair<std::string, std::string>> texts;
    for (auto& r : rows_of(file, Written::in_history)) texts.emplace_back(std::move(r.name), std::move(r.text));
    return texts;
}

bool rewrite_row(std::string& file, std::string_view name, std::string_view text) {
    const auto rows = rows_of(file, Written::today);
    const auto r = std::find_if(rows.begin(), rows.end(), [&](const TableRow& row) { return row.name == name; });
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
        // No compiler reads texts.txt: the tests' reader knows \r, \" and \\ alone.
        file.replace(p, eol - p, head + quoted(text, {{'\\', "\\\\"}, {'"', "\\\""}, {'\r', "\\r"}}));
        return true;
    }
    return false;
}

}  // namespace he::tool
