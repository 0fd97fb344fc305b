// The catalogue as the maintainers' tool sees it: every export with its
// ordinal, read from the same tables and export list the DLL is built from.
#pragma once

#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "table.h"
#include "utf8.h"
#include "families.h"

namespace he::tool {

using he::to_utf8;

struct Item {
    const Entry* entry;
    unsigned ordinal;
};

// The identity exports, then the catalogue in catalogue order, each with the
// ordinal the numbering rule gives it. Names of the export list without a
// row are left out (the check reports them).
std::vector<Item> items();

// The ordinal the export table gives a name, or 0 for a name it does not hold.
unsigned ordinal_of(std::string_view name);

// The family of a row (families.inc).
Family family_of(const Entry& e);

// An entry's English without the explanation a row may add at its end in
// parentheses ("Open (opening)"): {English, explanation}. The closing part in
// parentheses explains the English only where the text itself has fewer
// parentheses than the gloss: "Memory required (Mb)", whose text carries
// "(Mb)", is all English, and so is a template's "(W=%d, H=%d)".
std::pair<std::string_view, std::string_view> split_gloss(const Entry& e);

// A template filled the way the editor fills it, with sample values: 42 for
// "%d", "photo.jpg" for "%s", 3.14 for "%.2f", 3.140000 for "%f", whether
// plain or numbered.
std::string fill_sample(std::string_view text);

// A text written for a format: each character that `escapes` names replaced
// by its escape, as in escaped(s, {{'"', "&quot;"}}).
std::string escaped(std::string_view text, std::initializer_list<std::pair<char, std::string_view>> escapes);
// The same between double quotes.
std::string quoted(std::string_view text, std::initializer_list<std::pair<char, std::string_view>> escapes);

// The entries of a family in the layout of the editor's menus: each menu
// caption with its items, each submenu caption with its own items.
struct MenuNode {
    const Entry* entry;
    std::vector<MenuNode> items;
};
std::vector<MenuNode> menu_tree();

}  // namespace he::tool
