// hecat check: every rule of the texts (src/rules.h, the same definitions the
// build applies) over every row at once.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "table.h"

namespace he::tool {

struct Finding {
    std::string name;
    std::string message;
    std::string where;  // the row's file:line, empty for a name without a row
    bool advice = false;  // a term the glossary advises against: reported, not failed
};

// Checks the identity and catalogue rows against the rules of their texts
// and against the export list `order`, whose field captions are `fields`;
// one finding per broken rule.
std::vector<Finding> check(std::span<const Entry> identity, std::span<const Entry> tables,
                           std::span<const std::string_view> order, std::span<const std::string_view> fields);

}  // namespace he::tool
