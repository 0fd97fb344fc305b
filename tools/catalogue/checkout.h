// The checkout whose tables hecat serves, and what git knows of it: the
// commit it stands at, and a file as a commit had it.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace he::tool {

// The folder of the checkout this hecat was built from.
std::string checkout_folder();

// The commit the repository at `folder` stands at, or "unknown" where git
// cannot say (no git, no repository there).
std::string head_commit(const std::string& folder);

// A file of the repository at `folder` as `commit` had it; nothing where git
// cannot say. `commit` is taken only as hexadecimal digits, `path` from the
// repository's top.
std::optional<std::string> file_at_commit(const std::string& folder, std::string_view commit, std::string_view path);

}  // namespace he::tool
