// The glossary of the Hebrew texts (docs/glossary.md): one term per
// recurring concept, the other choices to avoid, the entries that use it.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/table.h"

namespace he::tool {

struct Concept {
    std::string name, english;
    std::vector<std::string> terms;    // the forms of the Hebrew term
    std::vector<std::string> others;   // the other choices, warned about
    std::vector<std::string> entries;  // the entries that use the term
};

// The rows of the glossary's table, in UTF-8 as written.
std::vector<Concept> parse_glossary(std::string_view markdown);

// The glossary as built into hecat.
const std::vector<Concept>& glossary();

struct Warning {
    const Entry* entry;
    std::string message;
};

// Wording written for this module that uses one of the other choices of a
// concept: one warning per entry and other choice.
std::vector<Warning> glossary_warnings(std::span<const Entry> rows, const std::vector<Concept>& concepts);

}  // namespace he::tool
