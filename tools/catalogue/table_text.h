// One table file as text: its rows read the way the compiler reads them
// through the row macros, and a row rewritten with another text in its own
// layout.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace he::tool {

// One row of a table file, and where its text stands: from its first literal
// to the end of its last (adjacent literals make one text), and `after_name`
// just past the comma after its name.
struct TableRow {
    unsigned line = 0;  // the line of QUOTED or OPEN, as __LINE__ gives it
    bool quoted = false;
    std::string name, text, english;
    std::size_t after_name = 0, first = 0, end = 0;
};

struct TableProblem {
    unsigned line;
    std::string name, message;
};

// What the compiler reads otherwise than a reader of lines and tokens,
// wherever it stands (in a comment too), each at its line: a CR not followed
// by LF (GCC ends a line there, and with it a // comment), a backslash at the
// end of a line (the compiler joins the next line to it), and a trigraph (a
// compiler in an ISO mode reads ??/ as a backslash, ??! as |).
std::vector<TableProblem> hazards(std::string_view s);

// A table as a commit of its history wrote it may name its quoted rows
// FIXED, as the tables did up to release 1.3: a reader made for
// Written::in_history reads those too.
enum class Written { today, in_history };

// Reads a table file as the compiler reads it through the row macros:
// blanks and comments are passed over, and so is the guard that stops a
// table included alone, as the tables write it (#if !defined(QUOTED) ||
// !defined(OPEN), #error "...", #endif); QUOTED(Name, "text", "English") and
// OPEN(...) make a row each. Anything else is a problem, at its line: the
// compiler would refuse it, or read it as hecat does not. After a problem,
// reading goes on at the next line that begins a row.
void read_rows(std::string_view file, Written written, std::vector<TableRow>& rows, std::vector<TableProblem>& problems);

// The UTF-8 text of `name`'s row in the contents of a table file, read as
// for Written::in_history (the file may be today's or an earlier commit's);
// nothing when no row names it.
std::optional<std::string> row_text(const std::string& file, std::string_view name);

// Every row of a table file, by name, with its UTF-8 text as above.
std::vector<std::pair<std::string, std::string>> row_texts(const std::string& file);

// Replaces the text of `name`'s row in the contents of a table file as the
// tables write it today, keeping its layout: one literal on one line, or one
// literal per text line where the row had them. False when no row names it.
bool rewrite_row(std::string& file, std::string_view name, std::string_view text);

// The same for `name`'s line in tests/data/texts.txt.
bool rewrite_expected(std::string& file, std::string_view name, std::string_view text);

}  // namespace he::tool
