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
#include <cstdlib>
#include <vector>

#include "checkout_folder.h"

extern char** environ;

namespace he::tool {
namespace {

// What `git -C folder ARGUMENTS...` prints, or nothing when it fails; its
// standard input read from `input` where one is open. The checkout's own
// settings run no program of theirs: no file-system monitor, no hook.
std::optional<std::string> git(const std::string& folder, std::vector<std::string> arguments, int input = -1) {
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
    if (input >= 0) posix_spawn_file_actions_adddup2(&actions, input, 0);
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

// `text` in a file of its own, already removed, read from its start: a
// process's whole input, which a pipe would have to be fed while its output
// is read. -1 where it cannot be made.
int input_file(const std::string& text) {
    const char* tmpdir = std::getenv("TMPDIR");
    std::string name = std::string(tmpdir && *tmpdir ? tmpdir : "/tmp") + "/hecat-git-XXXXXX";
    const int fd = ::mkstemp(name.data());
    if (fd < 0) return -1;
    ::unlink(name.c_str());
    std::size_t done = 0;
    for (ssize_t n = 0; done < text.size(); done += static_cast<std::size_t>(n))
        if ((n = ::write(fd, text.data() + done, text.size() - done)) <= 0) break;
    if (done == text.size() && ::lseek(fd, 0, SEEK_SET) == 0) return fd;
    ::close(fd);
    return -1;
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

std::vector<Version> versions_of(const std::string& folder, const std::vector<std::string>& paths, std::size_t limit) {
    std::vector<std::string> arguments{"log", "--format=commit %H", "--name-only", "--no-renames", "-n", std::to_string(limit), "--"};
    arguments.insert(arguments.end(), paths.begin(), paths.end());
    const auto log = git(folder, arguments);
    std::vector<Version> versions;
    std::string commit;
    // "commit HASH", a blank line, then the paths it changed, one a line.
    for (std::size_t start = 0; log && start < log->size();) {
        std::size_t end = log->find('\n', start);
        if (end == std::string::npos) end = log->size();
        const std::string line = log->substr(start, end - start);
        if (line.starts_with("commit ")) commit = hexadecimal(line.substr(7)) ? line.substr(7) : "";
        else if (!line.empty() && !commit.empty()) versions.push_back({commit, line});
        start = end + 1;
    }
    return versions;
}

std::vector<std::optional<std::string>> files_at(const std::string& folder, const std::vector<Version>& versions) {
    std::string requests;
    for (const auto& v : versions) requests += v.commit + ":" + v.path + "\n";
    const int input = versions.empty() ? -1 : input_file(requests);
    const auto out = input < 0 ? std::nullopt : git(folder, {"cat-file", "--batch"}, input);
    if (input >= 0) ::close(input);
    // Each answer: "OBJECT blob SIZE", the contents and a line break; or "NAME missing".
    std::vector<std::optional<std::string>> files;
    for (std::size_t at = 0; out && at < out->size() && files.size() < versions.size();) {
        const std::size_t end = out->find('\n', at);
        if (end == std::string::npos) break;
        const std::string head = out->substr(at, end - at);
        const auto blob = head.find(" blob ");
        const std::size_t size = blob == std::string::npos ? 0 : std::strtoull(head.c_str() + blob + 6, nullptr, 10);
        files.push_back(blob == std::string::npos ? std::nullopt : std::optional(out->substr(end + 1, size)));
        at = end + 1 + (blob == std::string::npos ? 0 : size + 1);
    }
    files.resize(versions.size());
    return files;
}

}  // namespace he::tool
