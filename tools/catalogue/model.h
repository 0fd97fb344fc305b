// The catalogue as the maintainers' tool sees it: every export with its
// ordinal, read from the files of the tables and the export list as they
// stand (table_files.h reads them), not from the tables compiled into the DLL.
#pragma once

#include <deque>
#include <initializer_list>
#include <map>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "table.h"
#include "utf8.h"
#include "check.h"
#include "families.h"

namespace he::tool {

using he::to_utf8;

// The catalogue as read from the files of one checkout: the rows as the
// compiler builds them from the same files, with what could not be read.
struct Catalogue {
    std::vector<Entry> identity, rows;           // rows: table by table, each table in catalogue order
    std::vector<std::string_view> order;         // exports/catalogue.txt
    std::vector<std::string_view> fields;        // the stretch of it marked as field captions
    std::vector<std::string_view> by_ordinal;    // every exported name: element i has ordinal i + 1
    std::vector<Finding> unread;                 // what the reader cannot read, each at its file:line
    std::vector<std::pair<std::string, std::string>> files;  // every file read (path from the top, content)
    std::deque<std::string> strings;             // what the entries' views point into

    Catalogue() = default;
    Catalogue(Catalogue&&) = default;
    Catalogue& operator=(Catalogue&&) = default;
    Catalogue(const Catalogue&) = delete;
    Catalogue& operator=(const Catalogue&) = delete;
};

// Every finding of the build's rules on the catalogue (check.h).
inline std::vector<Finding> check(const Catalogue& c) { return check(c.identity, c.rows, c.order, c.fields); }

struct Item {
    const Entry* entry;
    unsigned ordinal;
};

// The identity exports, then the catalogue in catalogue order, each with the
// ordinal the numbering rule gives it. Names of the export list without a
// row are left out (the check reports them).
std::vector<Item> items(const Catalogue& catalogue);

// The catalogue's rows (the identity apart) by name.
std::map<std::string_view, const Entry*> rows_by_name(const Catalogue& catalogue);

// The ordinal the catalogue's export table gives a name, or 0 for a name it
// does not hold.
unsigned ordinal_of(const Catalogue& catalogue, std::string_view name);

// The family of a row (families.inc).
Family family_of(const Entry& e);

using he::split_gloss;

// A template filled the way the editor fills it, with sample values: 42 for
// "%d", "photo.jpg" for "%s", 3.14 for "%.2f", 3.140000 for "%f", whether
// plain or numbered.
std::string fill_sample(std::string_view text);

// A text written for a format: each character that `escapes` names replaced
// by its escape, as in escaped(s, {{'"', "&quot;"}}).
std::string escaped(std::string_view text, std::initializer_list<std::pair<char, std::string_view>> escapes);
// The same between double quotes.
std::string quoted(std::string_view text, std::initializer_list<std::pair<char, std::string_view>> escapes);

// UTF-8 text made fit to stand in one line of a message: each line break
// (CR, LF or CR LF) shown as "⏎", as `hecat list` shows it, every other
// control character as its picture (U+2400 to U+2421).
std::string visible(std::string_view utf8);

// The menu captions among `rows` in the layout of the editor's menus: each
// menu caption with its items, each submenu caption with its own items.
struct MenuNode {
    const Entry* entry;
    std::vector<MenuNode> items;
};
std::vector<MenuNode> menu_tree(std::span<const Entry> rows);

}  // namespace he::tool
