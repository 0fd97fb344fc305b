// The rows of every table as data, for the tests and the maintainers' tool.
// The DLL itself does not carry this table.
#pragma once

#include <span>
#include <string_view>
#include <utility>

namespace he {

struct Entry {
    std::string_view name;
    std::string_view family;  // the table the entry is written in
    std::string_view text;    // the Windows-1255 bytes the export delivers
    std::string_view utf8;    // the same text as written in the table
    std::string_view gloss;   // the English meaning, every row
    bool quoted = false;      // the editor's own wording, quoted as it stands; else written for this module
    std::string_view file;    // where the row is written, from the repository's top
    unsigned line = 0;
};

// A row's file as the compiler names it (__FILE__), from the repository's top.
constexpr std::string_view source_file(std::string_view path) {
    return path.starts_with("./") ? path.substr(2) : path;
}

// An entry's English without the explanation a row may add at its end in
// parentheses ("Open (opening)"): {English, explanation}. The closing part in
// parentheses explains the English only where the text itself has fewer
// parentheses than the gloss: "Memory required (Mb)", whose text carries
// "(Mb)", is all English, and so is a template's "(W=%d, H=%d)".
constexpr std::pair<std::string_view, std::string_view> split_gloss(const Entry& e) {
    const std::string_view gloss = e.gloss;
    const auto parentheses = [](std::string_view s) {
        std::size_t n = 0;
        for (const char c : s) n += c == '(' || c == ')';
        return n;
    };
    const auto open = gloss.rfind(" (");
    if (!gloss.ends_with(")") || open == std::string_view::npos || open == 0) return {gloss, {}};
    const auto note = gloss.substr(open + 2, gloss.size() - open - 3);
    if (note.find_first_of("()") != std::string_view::npos || parentheses(e.text) >= parentheses(gloss)) return {gloss, {}};
    return {gloss.substr(0, open), note};
}

// The identity entries, in the order of their table.
std::span<const Entry> identity_entries();

// The catalogue entries, table by table, each table in catalogue order.
std::span<const Entry> table_entries();

// The exported catalogue names in catalogue order, as exports/catalogue.txt
// lists them.
std::span<const std::string_view> catalogue_order();

// The field captions: the stretch of the catalogue order that
// exports/catalogue.txt marks with "#begin field captions" and "#end field
// captions".
std::span<const std::string_view> field_captions();

// Every exported name, identity included, by ordinal: element i has ordinal
// i + 1. Derived by the build with the same rule as the DLL's export table.
std::span<const std::string_view> exports_by_ordinal();

}  // namespace he
