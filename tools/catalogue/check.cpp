// hecat check: every rule of the texts over every row (check.h).
#include "check.h"

#include <algorithm>

#include "rules.h"

namespace he::tool {

std::vector<Finding> check(std::span<const Entry> identity, std::span<const Entry> tables,
                           std::span<const std::string_view> order, std::span<const std::string_view> fields) {
    std::vector<Finding> findings;
    const auto report = [&](const Entry& e, const rules::Message& m) {
        const std::string where = e.file.empty() ? "" : std::string(e.file) + ":" + std::to_string(e.line);
        findings.push_back({std::string(e.name), std::string(m.view()), where, m.advice});
    };
    for (const auto* list : {&identity, &tables})
        for (const auto& e : *list)
            rules::check_entry(e, std::find(fields.begin(), fields.end(), e.name) != fields.end(), report);
    rules::check_catalogue(identity, tables, order, report);
    return findings;
}

}  // namespace he::tool
