// The catalogue read from a checkout's files (table_files.h).
#include "table_files.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <vector>

#include "table.h"
#include "files.h"
#include "table_text.h"

namespace he::tool {
namespace {

// The text of a line that is `head`, a double quote, a text without a double
// quote or a backslash, and a double quote; nothing for any other line.
std::optional<std::string> plain_quoted(std::string_view line, std::string_view head) {
    if (!line.starts_with(head) || line.size() < head.size() + 2 || line[head.size()] != '"' || line.back() != '"')
        return std::nullopt;
    const std::string_view text = line.substr(head.size() + 1, line.size() - head.size() - 2);
    if (text.find_first_of("\"\\") != std::string_view::npos) return std::nullopt;
    return std::string(text);
}

bool exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

// The names exports/catalogue.txt lists, as the build reads it
// (cmake/module_def.cmake): a name a line, blank lines and # comments passed
// over, the names between "#begin field captions" and "#end field captions"
// the field captions; and every exported name by ordinal.
void read_order(Catalogue& c, const std::string& path, const std::string& content) {
    constexpr std::string_view identity_top[] = {"GetTrVersion", "GetTrDate", "GetTrTranslation",
                                                 "GetTrCode",    "GetTrLanguage", "GetCompatibility"};
    const auto unread = [&](unsigned line, std::string message) {
        c.unread.push_back({"", std::move(message), path + ":" + std::to_string(line)});
    };
    unsigned line = 0, fields_from = 0;
    for (std::size_t p = 0; p < content.size();) {
        const auto eol = std::min(content.find('\n', p), content.size());
        std::string_view name(content.data() + p, eol - p);
        p = eol + 1, ++line;
        while (!name.empty() && std::isspace(static_cast<unsigned char>(name.front()))) name.remove_prefix(1);
        while (!name.empty() && std::isspace(static_cast<unsigned char>(name.back()))) name.remove_suffix(1);
        if (name == "#begin field captions" || name == "#end field captions") {
            const bool begins = name.starts_with("#begin");
            if (begins == (fields_from != 0))
                unread(line, begins ? "the field captions begin again before they end" : "the field captions end where none began");
            fields_from = begins ? line : 0;
            continue;
        }
        if (name.empty() || name.front() == '#') continue;
        const bool word = std::isalpha(static_cast<unsigned char>(name.front())) &&
                          std::all_of(name.begin(), name.end(), [](char ch) { return std::isalnum(static_cast<unsigned char>(ch)) || ch == '_'; });
        if (!word) unread(line, "not an export name: '" + std::string(name) + "'");
        else if (std::find(c.order.begin(), c.order.end(), name) != c.order.end()) unread(line, std::string(name) + " is listed twice");
        else if (name == "GetTrCharset" || std::find(std::begin(identity_top), std::end(identity_top), name) != std::end(identity_top))
            unread(line, std::string(name) + " is an identity export, not a catalogue entry");
        else {
            c.order.push_back(c.strings.emplace_back(name));
            if (fields_from != 0) c.fields.push_back(c.order.back());
        }
    }
    if (fields_from != 0) unread(fields_from, "the field captions begin here and never end");
    c.by_ordinal.push_back("GetTrCharset");
    c.by_ordinal.insert(c.by_ordinal.end(), c.order.rbegin(), c.order.rend());
    c.by_ordinal.insert(c.by_ordinal.end(), std::begin(identity_top), std::end(identity_top));
}

// The file at `path` under `root`, kept among the files read; a finding where
// it is needed and cannot be read.
std::optional<std::string> load(Catalogue& c, const std::string& root, const std::string& path, bool needed) {
    auto content = read_file(root + "/" + path);
    if (content) c.files.emplace_back(path, *content);
    else if (needed) c.unread.push_back({"", "cannot be read", path});
    return content;
}

// The rows of the table at `path`, of `family`, and what cannot be read of it.
void read_table(Catalogue& c, const std::string& root, const std::string& path, const std::string& family) {
    const auto table = load(c, root, path, true);
    if (!table) return;
    std::vector<TableRow> rows;
    std::vector<TableProblem> problems;
    read_rows(*table, Written::today, rows, problems);
    const std::string_view file = c.strings.emplace_back(path), kind = c.strings.emplace_back(family);
    for (const auto& pr : problems)
        c.unread.push_back({pr.name, "cannot be read: " + pr.message, path + ":" + std::to_string(pr.line)});
    for (auto& r : rows) {
        const std::string_view utf8 = c.strings.emplace_back(std::move(r.text));
        Entry e{c.strings.emplace_back(std::move(r.name)), kind, c.strings.emplace_back(to_cp1255(utf8)), utf8,
                c.strings.emplace_back(std::move(r.english)), r.quoted, file, r.line};
        (family == "identity" ? c.identity : c.rows).push_back(e);
    }
}

// Reads src/catalogue/tables.inc a line at a time, each line as the list
// writes it: comments, the guard on HE_ROW and its #error, the row macros'
// definitions, each table's #if, its FAMILY and #include, each #endif and
// #undef. Every table is read as a catalogue reader includes it (with
// HE_ALL_TABLES), the identity table apart. Any other line is a finding.
class ListReader {
public:
    ListReader(Catalogue& c, const std::string& root) : c_(c), root_(root) {}

    void read(const std::string& content) {
        for (const auto& pr : hazards(content)) unread(pr.line, pr.message);
        unsigned line = 0;
        for (std::size_t p = 0; p < content.size();) {
            const auto eol = std::min(content.find('\n', p), content.size());
            std::string_view text(content.data() + p, eol - p);
            p = eol + 1, ++line;
            while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) text.remove_suffix(1);
            if (std::string why = read_line(text); !why.empty()) unread(line, std::move(why));
        }
        if (!condition_.empty()) unread(line, "an #if with no #endif");
    }

private:
    static constexpr std::string_view kList = "src/catalogue/tables.inc";
    Catalogue& c_;
    const std::string& root_;
    std::string condition_;  // the #if the line stands in: "HE_ROW", "identity", "all FAMILY", or none
    std::string family_;     // FAMILY as defined, or none

    void unread(unsigned line, std::string message) {
        c_.unread.push_back({"", std::move(message), std::string(kList) + ":" + std::to_string(line)});
    }

    std::string opens(std::string condition) {
        if (!condition_.empty()) return "an #if inside another";
        condition_ = std::move(condition);
        return {};
    }

    std::string read_line(std::string_view text) {
        constexpr std::string_view all = "#if defined(HE_ALL_TABLES) || defined(HE_TABLE_", quoted =
            "#define QUOTED(Name, Text, English) HE_ROW(Name, FAMILY, true, Text, English)",
            open = "#define OPEN(Name, Text, English) HE_ROW(Name, FAMILY, false, Text, English)";
        const std::size_t first = text.find_first_not_of(" \t");
        if (first == std::string_view::npos || text.substr(first, 2) == "//") return {};
        if (condition_ == "HE_ROW" && text != "#endif")
            return plain_quoted(text, "#error ") ? "" : "a line other than #error \"...\" in the guard on HE_ROW";
        if (text == "#if !defined(HE_ROW)") return opens("HE_ROW");
        if (text == "#if defined(HE_TABLE_identity)") return opens("identity");
        if (text.starts_with(all) && text.ends_with(")")) return opens("all " + std::string(text.substr(all.size(), text.size() - all.size() - 1)));
        if (text == "#endif") return condition_.empty() ? "an #endif with no #if" : (condition_.clear(), "");
        if (text == quoted || text == open) return condition_.empty() ? "" : "a row macro defined inside an #if";
        if (const auto family = plain_quoted(text, "#define FAMILY ")) return define_family(*family);
        if (text == "#undef FAMILY") return family_.empty() ? "FAMILY undefined where it is not defined" : (family_.clear(), "");
        if (const auto name = plain_quoted(text, "#include ")) return include(*name);
        const std::string_view undefined = text.substr(std::min<std::size_t>(text.size(), 7));
        if (text.starts_with("#undef ") && !undefined.empty() &&
            std::all_of(undefined.begin(), undefined.end(), [](char ch) { return std::isalnum(static_cast<unsigned char>(ch)) || ch == '_'; }))
            return {};
        return "a line hecat does not read: the list holds comments, each table's #if, #define FAMILY \"...\", "
               "#include \"...\" and #undef FAMILY, and the lines around them as they stand";
    }

    std::string define_family(const std::string& family) {
        if (!family_.empty()) return "FAMILY defined again before #undef FAMILY";
        const bool fits = family == "identity" ? condition_ == "identity" : condition_.empty() || condition_ == "all " + family;
        if (!fits) return "FAMILY \"" + family + "\" where the #if around it reads another table";
        family_ = family;
        if (!find_family(family)) return "the family \"" + family + "\" is not in src/families.inc";
        return {};
    }

    std::string include(const std::string& name) {
        if (family_.empty()) return "a table included with no FAMILY defined";
        if (!find_family(family_)) return {};
        // As the compiler looks for it: beside tables.inc, then in src/.
        const std::string path = exists(root_ + "/src/catalogue/" + name) ? "src/catalogue/" + name : "src/" + name;
        read_table(c_, root_, path, family_);
        return {};
    }
};

}  // namespace

Catalogue read_catalogue(const std::string& root) {
    Catalogue c;
    const std::string list = "src/catalogue/tables.inc";
    if (const auto content = load(c, root, list, true)) ListReader(c, root).read(*content);
    const std::string order = "exports/catalogue.txt";
    if (const auto content = load(c, root, order, true)) read_order(c, order, *content);
    // Not read for rows: the import rewrites it with the tables, and checks
    // before it writes that none of the files it read has changed since.
    load(c, root, "tests/data/texts.txt", false);
    return c;
}

std::string changed_since_read(const Catalogue& catalogue, const std::string& root) {
    for (const auto& [path, content] : catalogue.files)
        if (read_file(root + "/" + path) != content) return path + " has changed since hecat read it";
    return {};
}

}  // namespace he::tool
