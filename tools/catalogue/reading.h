// The reading of a stored text, and the stored text of a reading.
//
// A translators' file and the review page hold each text as a Hebrew reader
// reads it: in reading order, the order a right-to-left editor shows
// naturally. The module stores its texts in the order a left-to-right
// control shows them correctly, with a closing mark or a Latin word that
// ends the Hebrew phrase stored first. A template is read as the editor
// shows it filled.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace he::tool {

// The reading of a stored text (UTF-8, lines separated by CR). In a template
// whose reading puts the arguments in another order than the editor passes
// them, the specifiers are written with their argument numbers ("%2$s").
std::string reading_of(std::string_view stored, bool is_template);

// The stored text whose reading is `reading`, or nothing when no stored text
// reads that way. Positional specifiers come back as the plain sequence the
// editor passes. Where stored texts that read alike differ (a number may
// stand before or after the Hebrew it ends), each line takes the shape of
// the line of `was`, the text it replaces.
std::optional<std::string> stored_of(std::string_view reading, bool is_template, std::string_view was = {});

// A reading with its specifiers written plain where they stand in argument
// order: two readings that say the same are equal in this form.
std::string canonical(std::string_view reading);

}  // namespace he::tool
