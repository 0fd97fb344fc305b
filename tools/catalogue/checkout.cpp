// The checkout hecat reads, as git knows it (checkout.h). git runs without
// a shell, on the folder named, whatever repository the environment names
// and whatever programs the checkout's settings name.
#include "checkout.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/socket.h>
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

// Starts `git -C folder ARGUMENTS...`, its standard output to `output` and
// its standard input from `input` where one is open; its id, or -1 where it
// cannot start. The checkout's own settings run no program of theirs: no
// file-system monitor, no hook.
pid_t spawn_git(const std::string& folder, std::vector<std::string> arguments, int input, int output) {
    arguments.insert(arguments.begin(),
                     {"git", "-c", "core.fsmonitor=false", "-c", "core.hooksPath=/dev/null", "-C", folder});
    std::vector<char*> argv;
    for (auto& a : arguments) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<char*> env;  // without GIT_DIR, GIT_WORK_TREE and the like
    for (char** e = environ; *e != nullptr; ++e)
        if (std::string_view(*e).substr(0, 4) != "GIT_") env.push_back(*e);
    env.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, output, 1);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    if (input >= 0) posix_spawn_file_actions_adddup2(&actions, input, 0);
    pid_t pid = 0;
    const int spawned = ::posix_spawnp(&pid, "git", &actions, nullptr, argv.data(), env.data());
    posix_spawn_file_actions_destroy(&actions);
    return spawned == 0 ? pid : -1;
}

// Whether the process ended with status 0.
bool succeeded(pid_t pid) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// What `git -C folder ARGUMENTS...` prints, or nothing when it fails.
std::optional<std::string> git(const std::string& folder, std::vector<std::string> arguments) {
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) return std::nullopt;
    const pid_t pid = spawn_git(folder, std::move(arguments), -1, out[1]);
    ::close(out[1]);
    std::string text;
    for (char buffer[4096]; pid >= 0;) {
        const ssize_t n = ::read(out[0], buffer, sizeof buffer);
        if (n > 0) text.append(buffer, static_cast<std::size_t>(n));
        else if (n == 0 || errno != EINTR) break;
    }
    ::close(out[0]);
    if (pid < 0 || !succeeded(pid)) return std::nullopt;
    return text;
}

bool hexadecimal(std::string_view s) { return !s.empty() && s.find_first_not_of("0123456789abcdef") == std::string_view::npos; }

}  // namespace

std::string checkout_folder() { return HE_CHECKOUT_FOLDER; }

bool is_checkout_top(const std::string& folder) {
    struct stat st {};
    return ::stat((folder + "/src/catalogue/tables.inc").c_str(), &st) == 0;
}

std::string tables_folder() { return is_checkout_top(".") ? "." : checkout_folder(); }

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

CommitFiles::~CommitFiles() {
    if (pid_ < 0) return;
    ::close(requests_);  // git reads the end of its requests, and ends
    ::close(answers_);
    succeeded(pid_);
}

bool CommitFiles::start() {
    int requests[2], answers[2];
    // The requests go through a socket, which a git that has ended refuses
    // with an error where a pipe would end hecat with SIGPIPE.
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, requests) != 0) return false;
    if (::pipe2(answers, O_CLOEXEC) != 0) {
        ::close(requests[0]), ::close(requests[1]);
        return false;
    }
    pid_ = spawn_git(folder_, {"cat-file", "--batch"}, requests[1], answers[1]);
    ::close(requests[1]), ::close(answers[1]);
    requests_ = requests[0], answers_ = answers[0];
    if (pid_ < 0) ::close(requests_), ::close(answers_);
    return pid_ >= 0;
}

// Takes what git answers, at least `size` bytes of it, into `pending_`.
bool CommitFiles::fill(std::size_t size) {
    for (char buffer[65536]; pending_.size() < size;) {
        const ssize_t n = ::read(answers_, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        pending_.append(buffer, static_cast<std::size_t>(n));
    }
    return true;
}

// One answer of git's: "OBJECT blob SIZE", the contents and a line break; or
// "NAME missing" (or "ambiguous"), and nothing more. False where git has ended.
bool CommitFiles::answer(std::optional<std::string>& blob) {
    std::size_t eol;
    while ((eol = pending_.find('\n')) == std::string::npos)
        if (!fill(pending_.size() + 1)) return false;
    const std::string head = pending_.substr(0, eol);
    pending_.erase(0, eol + 1);
    if (head.ends_with(" missing") || head.ends_with(" ambiguous")) return true;
    const auto type = head.find(' '), size_at = head.find(' ', type + 1);
    if (type == std::string::npos || size_at == std::string::npos) return false;
    const std::size_t size = std::strtoull(head.c_str() + size_at + 1, nullptr, 10);
    if (!fill(size + 1)) return false;
    if (head.compare(type, size_at - type, " blob") == 0) blob = pending_.substr(0, size);
    pending_.erase(0, size + 1);
    return true;
}

std::optional<std::string> CommitFiles::file(std::string_view commit, std::string_view path) {
    if (!hexadecimal(commit) || path.find('\n') != std::string_view::npos || broken_) return std::nullopt;
    if (pid_ < 0 && !start()) {
        broken_ = true;
        return std::nullopt;
    }
    const std::string request = std::string(commit) + ":" + std::string(path) + "\n";
    for (std::size_t done = 0; done < request.size();) {
        const ssize_t n = ::send(requests_, request.data() + done, request.size() - done, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) broken_ = true;
        if (n <= 0) return std::nullopt;
        done += static_cast<std::size_t>(n);
    }
    std::optional<std::string> blob;
    broken_ = !answer(blob);
    return blob;
}

}  // namespace he::tool
