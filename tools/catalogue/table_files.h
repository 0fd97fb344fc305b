// The table files as text: the one reader of the tables as they stand in a
// checkout (the list of tables, each table's rows, the export list), read the
// way the compiler reads them, and a row rewritten with another text in its
// own layout.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "model.h"

namespace he::tool {

// The catalogue as the files under the checkout folder `root` hold it:
// src/catalogue/tables.inc names the tables and their families, each table's
// QUOTED and OPEN rows become entries as the compiler builds them (the text
// converted to Windows-1255 by the build's own conversion), and
// exports/catalogue.txt gives the order and the ordinals. Whatever it cannot
// read (a line it does not understand, a row the compiler would not accept,
// a file that is not there) is a finding at its file:line; the rest is read.
// tests/data/texts.txt is kept among the files read, for the import.
Catalogue read_catalogue(const std::string& root);

// Empty when every file the catalogue was read from under `root` still holds
// what was read; else "PATH has changed since hecat read it".
std::string changed_since_read(const Catalogue& catalogue, const std::string& root);

// The UTF-8 text of `name`'s row in the contents of a table file, as the
// reader above reads it, or as it read the file at any commit of its
// history; nothing when no row names it.
std::optional<std::string> row_text(const std::string& file, std::string_view name);

// Every row of a table file, by name, with its UTF-8 text as above.
std::vector<std::pair<std::string, std::string>> row_texts(const std::string& file);

// Replaces the text of `name`'s row in the contents of a table file, keeping
// its layout: one literal on one line, or one literal per text line where
// the row had them. False when no row names it.
bool rewrite_row(std::string& file, std::string_view name, std::string_view text);

// The same for `name`'s line in tests/data/texts.txt.
bool rewrite_expected(std::string& file, std::string_view name, std::string_view text);

}  // namespace he::tool
