// The rows of the table files as text (table_files.h).
#include "table_files.h"

#include <map>

#include "table.h"
#include "files.h"
#include "model.h"

namespace he::tool {
namespace {

// A text as the tables write it: a C string literal per line, CR as \r.
std::string c_literal(std::string_view s) {
    return quoted(s, {{'\\', "\\\\"}, {'"', "\\\""}, {'\r', "\\r"}});
}

// Where the text of `name`'s row stands in a table file: from its first
// literal to the end of its last (adjacent literals make the text), and
// where the row's text begins after the name; nothing when no row names it.
struct RowSpan {
    std::size_t at = std::string::npos, first = 0, end = 0;
};

RowSpan find_row(const std::string& file, std::string_view name) {
    RowSpan r;
    for (const char* kind : {"FIXED(", "OPEN("}) {
        const std::string head = std::string(kind) + std::string(name) + ",";
        for (std::size_t p = file.find(head); p != std::string::npos; p = file.find(head, p + 1))
            if (p == 0 || file[p - 1] == '\n') r.at = p + head.size();
    }
    if (r.at == std::string::npos) return r;
    r.first = r.at;
    while (r.first < file.size() && (file[r.first] == ' ' || file[r.first] == '\n')) ++r.first;
    r.end = r.first;
    while (r.end < file.size() && file[r.end] == '"') {
        for (++r.end; r.end < file.size() && file[r.end] != '"'; ++r.end)
            if (file[r.end] == '\\') ++r.end;
        ++r.end;
        std::size_t next = r.end;
        while (next < file.size() && (file[next] == ' ' || file[next] == '\n')) ++next;
        if (next < file.size() && file[next] == '"') r.end = next;
        else break;
    }
    if (r.end == r.first) r.at = std::string::npos;
    return r;
}

}  // namespace

std::optional<std::string> row_text(const std::string& file, std::string_view name) {
    const RowSpan r = find_row(file, name);
    if (r.at == std::string::npos) return std::nullopt;
    std::string out;
    bool quoted = false;
    for (std::size_t i = r.first; i < r.end; ++i) {
        const char c = file[i];
        if (c == '"') {
            quoted = !quoted;
        } else if (quoted && c == '\\' && i + 1 < r.end) {
            const char k = file[++i];
            out += k == 'r' ? '\r' : k == 'n' ? '\n' : k == 't' ? '\t' : k;
        } else if (quoted) {
            out += c;
        }
    }
    return out;
}

bool rewrite_row(std::string& file, std::string_view name, std::string_view text) {
    const RowSpan r = find_row(file, name);
    if (r.at == std::string::npos) return false;
    const std::size_t at = r.at, first = r.first, end = r.end;
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

std::string tables_mismatch(const std::string& root) {
    std::map<std::string, std::string> files;
    std::map<std::string, std::size_t> rows;
    for (const auto& e : table_entries()) {
        const std::string path(e.file);
        if (!files.count(path)) {
            auto content = read_file(root + "/" + path);
            if (!content) return "there is no " + path + " here: run hecat import from the repository's top folder";
            files[path] = std::move(*content);
        }
        ++rows[path];
        const auto text = row_text(files[path], e.name);
        if (!text || *text != e.utf8)
            return path + " has changed since hecat was built (" + std::string(e.name) +
                   "): run ./dev build, then import again";
    }
    for (const auto& [path, content] : files) {
        std::size_t n = 0;
        for (std::size_t p = 0; p < content.size(); p = content.find('\n', p) + 1) {
            if (content.compare(p, 6, "FIXED(") == 0 || content.compare(p, 5, "OPEN(") == 0) ++n;
            if (content.find('\n', p) == std::string::npos) break;
        }
        if (n != rows[path]) return path + " has rows hecat was not built with: run ./dev build, then import again";
    }
    return {};
}

}  // namespace he::tool
