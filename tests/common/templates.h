// Filling templates the way the editor does, for the tests.
#pragma once

#include <string>
#include <string_view>

#include "arguments.h"

namespace he::test {

// Fills `text` the way the editor does, with snprintf and sample arguments
// for the given specifiers (whole numbers 101, 102, ...; texts "s1", "s2",
// ...; 3.14159 for every decimal). False when the list has a shape no
// template of the catalogue has.
bool fill_with_snprintf(const std::string& text, std::string_view specifiers, std::string& out);

// What a correct fill gives: every specifier replaced by its sample value.
std::string expected_fill(std::string_view text);

}  // namespace he::test
