// Every row of the catalogue and the identity table, by name, for tests.
#pragma once

#include <map>
#include <string_view>

#include "table.h"

namespace he::test {

inline const std::map<std::string_view, const Entry*>& all_rows() {
    static const auto rows = [] {
        std::map<std::string_view, const Entry*> out;
        for (const auto& e : table_entries()) out[e.name] = &e;
        for (const auto& e : identity_entries()) out[e.name] = &e;
        return out;
    }();
    return rows;
}

// The text of an entry, or a marker that matches no text when there is none.
inline std::string_view text_of(std::string_view name) {
    const auto it = all_rows().find(name);
    return it == all_rows().end() ? std::string_view("<no such entry>") : it->second->text;
}

}  // namespace he::test
