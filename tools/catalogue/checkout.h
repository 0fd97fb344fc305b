// The checkout whose tables hecat serves, and what git knows of it: the
// commit it stands at, the files changed since, a file as a commit had it,
// and the commits that changed it.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace he::tool {

// The folder of the checkout this hecat was built from.
std::string checkout_folder();

// Whether `folder` is the top folder of a checkout: it holds the list of tables.
bool is_checkout_top(const std::string& folder);

// The checkout whose tables hecat reads: the current folder where it is a
// checkout's top, else the checkout this hecat was built from.
std::string served_folder();

// The commit the repository at `folder` stands at, or "unknown" where git
// cannot say (no git, no repository there).
std::string head_commit(const std::string& folder);

// Those of `paths` (from the repository's top) that differ from the commit
// the repository at `folder` stands at, or are not in it; none where git
// cannot say.
std::vector<std::string> changed_since_commit(const std::string& folder, const std::vector<std::string>& paths);

// A file of the repository at `folder` as `commit` had it; nothing where git
// cannot say. `commit` is taken only as hexadecimal digits, `path` from the
// repository's top.
std::optional<std::string> file_at_commit(const std::string& folder, std::string_view commit, std::string_view path);

// The commits of the repository at `folder` that changed `path`, newest
// first, at most `limit` of them; none where git cannot say.
std::vector<std::string> commits_changing(const std::string& folder, std::string_view path, std::size_t limit);

// A file as one commit had it: the commit and the path from the repository's top.
struct Version {
    std::string commit, path;
};

// Every version of `paths` that the commits of the repository at `folder`
// made, newest first, from the latest `limit` commits that changed any of
// them; none where git cannot say.
std::vector<Version> versions_of(const std::string& folder, const std::vector<std::string>& paths, std::size_t limit);

// The contents of each version, all read by one git process; nothing for a
// version git cannot give.
std::vector<std::optional<std::string>> files_at(const std::string& folder, const std::vector<Version>& versions);

}  // namespace he::tool
