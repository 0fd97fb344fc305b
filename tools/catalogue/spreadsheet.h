// The catalogue as rows for a spreadsheet: one per entry (ordinal, name,
// family, bytes, text, English), as JSON or as CSV.
#pragma once

#include <string>
#include <vector>

#include "model.h"

namespace he::tool {

std::string json_export(const std::vector<Item>& items);
std::string csv_export(const std::vector<Item>& items);

}  // namespace he::tool
