// The catalogue read from a checkout's files: the one reader of the tables
// as they stand (the list of tables, each table's rows through
// table_text.h, the export list), read the way the compiler reads them.
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

}  // namespace he::tool
