// How the texts look: visual order in a left-to-right control (GNU FriBidi),
// the reading a Hebrew reader takes from it, and the review formats.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "model.h"

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

// Applies a per-line function to a text of several CR-separated lines.
std::string per_line(std::string_view utf8, std::string (*fn)(std::string_view));

std::string json_export(const std::vector<Item>& items);
std::string csv_export(const std::vector<Item>& items);
// `pictures` links entries to pictures of them in real controls (./dev shots).
std::string html_preview(const std::vector<Item>& items, const std::map<std::string, std::string>& pictures = {});

}  // namespace he::tool
