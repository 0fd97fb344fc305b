// The rules every text of the catalogue follows, checked on the texts.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/table.h"

namespace he::tool {

struct Finding {
    std::string name;
    std::string message;
};

// Checks the identity and catalogue rows against the rules of their texts
// and against the export list `order`; one finding per broken rule.
std::vector<Finding> check(std::span<const Entry> identity, std::span<const Entry> tables,
                           std::span<const std::string_view> order);

}  // namespace he::tool
