// One line of text laid out by GNU FriBidi: the order in which a control
// shows its characters, and the reading a Hebrew reader takes from it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace he::tool {

// One line of UTF-8 text as a left-to-right control lays it out: the
// characters from left to right, mirrored where the layout mirrors them.
std::string visual_order(std::string_view utf8_line);
// The same in a right-to-left paragraph (false: left to right).
std::string visual_order(std::string_view utf8_line, bool right_to_left);

// The same line as a right-to-left reader takes it in: the visual line read
// from right to left, Latin words and numbers kept whole. Shown in a
// right-to-left box it looks as the stored text does in a left-to-right one.
std::string reading_order(std::string_view utf8_line);

// The reading of a line as runs: Hebrew text, and the runs that read left to
// right (Latin words, numbers, placeholders, with blanks between them), for
// a page that isolates the latter.
struct Run {
    std::string utf8;
    bool left_to_right;
};
std::vector<Run> reading_runs(std::string_view utf8_line);

// Applies a per-line function to a text of several CR-separated lines.
std::string per_line(std::string_view utf8, std::string (*fn)(std::string_view));

}  // namespace he::tool
