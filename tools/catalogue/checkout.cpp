// The checkout hecat serves, as git knows it (checkout.h). git runs without
// a shell, on the folder named, whatever repository the environment names
// and whatever programs the checkout's settings name.
#include "checkout.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "checkout_folder.h"

extern char** environ;

namespace he::tool {
namespace {

// What `git -C folder ARGUMENTS...` prints, or nothing when it fails. The
// checkout's own settings run no program of theirs: no file-system monitor,
// no hook.
std::optional<std::string> git(const std::string& folder, std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(),
                     {"git", "-c", "core.fsmonitor=false", "-c", "core.hooksPath=/dev/null", "-C", folder});
    std::vector<char*> argv;
    for (auto& a : arguments) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<char*> env;  // without GIT_DIR, GIT_WORK_TREE and the like
    for (char** e = environ; *e != nullptr; ++e)
        if (std::string_view(*e).substr(0, 4) != "GIT_") env.push_back(*e);
    env.push_back(nullptr);
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) return std::nullopt;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int spawned = ::posix_spawnp(&pid, "git", &actions, nullptr, argv.data(), env.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    std::string text;
    for (char buffer[4096]; spawned == 0;) {
        const ssize_t n = ::read(out[0], buffer, sizeof buffer);
        if (n > 0) text.append(buffer, static_cast<std::size_t>(n));
        else if (n == 0 || errno != EINTR) break;
    }
    ::close(out[0]);
    if (spawned != 0) return std::nullopt;
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return std::nullopt;
    return text;
}

bool hexadecimal(std::string_view s) { return !s.empty() && s.find_first_not_of("0123456789abcdef") == std::string_view::npos; }

}  // namespace

std::string checkout_folder() { return HE_CHECKOUT_FOLDER; }

bool is_checkout_top(const std::string& folder) {
    struct stat st {};
    return ::stat((folder + "/src/catalogue/tables.inc").c_str(), &st) == 0;
}

std::string served_folder() { return is_checkout_top(".") ? "." : checkout_folder(); }

std::string head_commit(const std::string& folder) {
    auto commit = git(folder, {"rev-parse", "--verify", "HEAD"});
    while (commit && !commit->empty() && (commit->back() == '\n' || commit->back() == '\r')) commit->pop_back();
    return commit && hexadecimal(*commit) ? *commit : "unknown";
}

std::vector<std::string> changed_since_commit(const std::string& folder, const std::vector<std::string>& paths) {
    std::vector<std::string> arguments{"status", "--porcelain", "-z", "--untracked-files=all", "--no-renames", "--"};
    arguments.insert(arguments.end(), paths.begin(), paths.end());
    const auto status = git(folder, arguments);
    std::vector<std::string> changed;
    // Each entry: two letters of state, a blank, the path, a zero byte.
    for (std::size_t p = 0; status && p + 3 < status->size();) {
        const auto end = status->find('\0', p);
        changed.push_back(status->substr(p + 3, end - p - 3));
        if (end == std::string::npos) break;
        p = end + 1;
    }
    return changed;
}

std::optional<std::string> file_at_commit(const std::string& folder, std::string_view commit, std::string_view path) {
    if (!hexadecimal(commit)) return std::nullopt;
    return git(folder, {"show", std::string(commit) + ":" + std::string(path)});
}

std::vector<std::string> commits_changing(const std::string& folder, std::string_view path, std::size_t limit) {
    std::vector<std::string> commits;
    const auto log = git(folder, {"log", "--format=%H", "-n", std::to_string(limit), "--", std::string(path)});
    for (std::size_t start = 0; log && start < log->size();) {
        std::size_t end = log->find('\n', start);
        if (end == std::string::npos) end = log->size();
        if (const std::string c = log->substr(start, end - start); hexadecimal(c)) commits.push_back(c);
        start = end + 1;
    }
    return commits;
}

}  // namespace he::tool
