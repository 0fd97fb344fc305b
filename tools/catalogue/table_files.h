// The rows of the table files as text: what a row's text says, the same row
// with another text in its own layout, and whether the files still hold the
// rows hecat was built with.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace he::tool {

// The UTF-8 text of `name`'s row in the contents of a table file, as the
// compiler reads its literals; nothing when no row names it.
std::optional<std::string> row_text(const std::string& file, std::string_view name);

// Replaces the text of `name`'s row in the contents of a table file, keeping
// its layout: one literal on one line, or one literal per text line where
// the row had them. False when no row names it.
bool rewrite_row(std::string& file, std::string_view name, std::string_view text);

// The same for `name`'s line in tests/data/texts.txt.
bool rewrite_expected(std::string& file, std::string_view name, std::string_view text);

// Empty when the tables under `root` hold the texts this hecat was built
// with; else one sentence saying which file differs, or that none is there.
std::string tables_mismatch(const std::string& root);

}  // namespace he::tool
