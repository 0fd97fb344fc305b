// The checkout whose tables hecat reads, and what git knows of it: the
// commit it stands at, the files changed since, a file as a commit had it,
// and the versions of files its commits made.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace he::tool {

// The folder of the checkout this hecat was built from.
std::string checkout_folder();

// Whether `folder` is the top folder of a checkout: it holds the list of tables.
bool is_checkout_top(const std::string& folder);

// The checkout whose tables hecat reads: the current folder where it is a
// checkout's top, else the checkout this hecat was built from.
std::string tables_folder();

// The commit the repository at `folder` stands at, or "unknown" where git
// cannot say (no git, no repository there).
std::string head_commit(const std::string& folder);

// Those of `paths` (from the repository's top) that differ from the commit
// the repository at `folder` stands at, or are not in it; none where git
// cannot say.
std::vector<std::string> changed_since_commit(const std::string& folder, const std::vector<std::string>& paths);

// A file as one commit had it: the commit and the path from the repository's top.
struct Version {
    std::string commit, path;
};

// Every version of `paths` that the commits of the repository at `folder`
// made, newest first, from the latest `limit` commits that changed any of
// them; none where git cannot say.
std::vector<Version> versions_of(const std::string& folder, const std::vector<std::string>& paths, std::size_t limit);

// Files as commits of the repository at `folder` had them, all read by one
// `git cat-file --batch` process, started at the first read and ended with
// the reader: a command asks git for any number of them at the cost of one
// process.
class CommitFiles {
  public:
    explicit CommitFiles(std::string folder) : folder_(std::move(folder)) {}
    ~CommitFiles();
    CommitFiles(const CommitFiles&) = delete;
    CommitFiles& operator=(const CommitFiles&) = delete;

    // `path` (from the repository's top) as `commit` had it; nothing where
    // git cannot say. `commit` is taken only as hexadecimal digits.
    std::optional<std::string> file(std::string_view commit, std::string_view path);

  private:
    bool start();
    bool fill(std::size_t size);
    bool answer(std::optional<std::string>& blob);

    std::string folder_;
    pid_t pid_ = -1;
    int requests_ = -1, answers_ = -1;  // git's standard input and output
    bool broken_ = false;               // git could not start, or has ended
    std::string pending_;               // what git has answered and is not yet taken
};

}  // namespace he::tool
