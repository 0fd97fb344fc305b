// Files read and written whole (files.h).
#include "files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

namespace he::tool {
namespace {

std::string why_not(int err) { return std::strerror(err != 0 ? err : EIO); }

bool write_all(int fd, const std::string& content) {
    for (std::size_t done = 0; done < content.size();) {
        const ssize_t n = ::write(fd, content.data() + done, content.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// The folder part of a path, with its slash ("" for a bare name).
std::string folder_of(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// Why a file that stands may not be replaced, or "".
std::string refusal(const std::string& target, const struct stat& st) {
    if (S_ISDIR(st.st_mode)) return "it is a folder";
    if (!S_ISREG(st.st_mode)) return "not a regular file";
    if ((st.st_mode & 0222) == 0 || ::access(target.c_str(), W_OK) != 0) return "it is read-only";
    return {};
}

// Gives the open file the owner and mode of `was`, or, without it, the mode
// the umask leaves a new file. Returns why it cannot, or "".
std::string take_owner_and_mode(int fd, const struct stat* was) {
    if (was == nullptr) {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        return ::fchmod(fd, 0666 & ~mask) == 0 ? std::string() : why_not(errno);
    }
    struct stat now {};
    if (::fstat(fd, &now) != 0) return why_not(errno);
    // Ownership first: changing it may clear the set-user-ID and set-group-ID bits.
    if ((now.st_uid != was->st_uid || now.st_gid != was->st_gid) && ::fchown(fd, was->st_uid, was->st_gid) != 0)
        return "its owner and group cannot be kept by this user";
    return ::fchmod(fd, was->st_mode & 07777) == 0 ? std::string() : why_not(errno);
}

// Writes `content` to a new temporary file of a unique name beside `target`,
// flushed to disk, owned as `was` says (see take_owner_and_mode); its name in
// `tmp` (empty when none was made). Returns why it failed, or "".
std::string stage(const std::string& target, const std::string& content, const struct stat* was, std::string& tmp) {
    tmp = folder_of(target) + ".hecat-XXXXXX";
    const int fd = ::mkstemp(tmp.data());
    if (fd < 0) {
        tmp.clear();
        return why_not(errno);
    }
    std::string why = take_owner_and_mode(fd, was);
    if (why.empty() && !(write_all(fd, content) && ::fsync(fd) == 0)) why = why_not(errno);
    if (::close(fd) != 0 && why.empty()) why = why_not(errno);
    return why;
}

// Writes a FIFO or a character device in place. A FIFO is opened without
// waiting for a reader, tried again for two seconds: a FIFO that no program
// reads from would hold hecat for ever.
std::string write_in_place(const std::string& target, bool fifo, const std::string& content) {
    int fd = -1;
    for (int tries = 0;; ++tries) {
        fd = ::open(target.c_str(), O_WRONLY | O_CLOEXEC | (fifo ? O_NONBLOCK : 0));
        if (fd >= 0 || !fifo || errno != ENXIO || tries == 100) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (fd < 0) return fifo && errno == ENXIO ? "no program reads from this FIFO" : why_not(errno);
    if (fifo) ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    const bool ok = write_all(fd, content);
    const int err = errno;
    if (::close(fd) != 0 || !ok) return why_not(ok ? errno : err);
    return {};
}

// A second name for the file `target`, in its folder, kept until every new
// file is in place; "" with `why` set when none could be made.
std::string second_name(const std::string& target, std::string& why) {
    std::string old = folder_of(target) + ".hecat-old-XXXXXX";
    const int fd = ::mkstemp(old.data());
    if (fd >= 0) {
        ::close(fd);
        ::unlink(old.c_str());
        if (::link(target.c_str(), old.c_str()) == 0) return old;
    }
    why = why_not(errno);
    return {};
}

}  // namespace

std::optional<std::string> read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string write_file(const std::string& path, const std::string& content) {
    const auto cannot = [&](const std::string& why) { return "cannot write " + path + ": " + why; };
    std::string target = path;
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        char* real = ::realpath(path.c_str(), nullptr);
        if (real == nullptr) return cannot("a symbolic link to a file that does not exist");
        target = real;
        std::free(real);
    }
    const bool exists = ::stat(target.c_str(), &st) == 0;
    if (exists && (S_ISFIFO(st.st_mode) || S_ISCHR(st.st_mode))) {
        const std::string why = write_in_place(target, S_ISFIFO(st.st_mode), content);
        return why.empty() ? why : cannot(why);
    }
    if (exists) {
        if (const std::string why = refusal(target, st); !why.empty()) return cannot(why);
    }
    std::string tmp;
    std::string why = stage(target, content, exists ? &st : nullptr, tmp);
    if (why.empty() && ::rename(tmp.c_str(), target.c_str()) != 0) why = why_not(errno);
    if (why.empty()) return {};
    if (!tmp.empty()) ::unlink(tmp.c_str());
    return cannot(why);
}

std::string write_files(const std::vector<std::pair<std::string, std::string>>& files) {
    struct Staged {
        std::string path, target, tmp, old;
        bool replaced = false;
    };
    std::vector<Staged> staged;
    const auto undo = [&](const std::string& path, const std::string& why) {
        for (auto it = staged.rbegin(); it != staged.rend(); ++it) {
            if (it->replaced) ::rename(it->old.c_str(), it->target.c_str());
            else if (!it->old.empty()) ::unlink(it->old.c_str());
            if (!it->tmp.empty()) ::unlink(it->tmp.c_str());
        }
        return "cannot write " + path + ": " + why + "; no file changed";
    };
    for (const auto& [path, content] : files) {
        Staged s{path, path, {}, {}};
        if (char* real = ::realpath(path.c_str(), nullptr)) s.target = real, std::free(real);
        struct stat st {};
        if (::stat(s.target.c_str(), &st) != 0) return undo(path, why_not(errno));
        if (const std::string why = refusal(s.target, st); !why.empty()) return undo(path, why);
        std::string why = stage(s.target, content, &st, s.tmp);
        staged.push_back(s);
        if (!why.empty()) return undo(path, why);
        staged.back().old = second_name(s.target, why);
        if (!why.empty()) return undo(path, why);
    }
    for (auto& s : staged) {
        if (::rename(s.tmp.c_str(), s.target.c_str()) != 0) return undo(s.path, why_not(errno));
        s.tmp.clear();
        s.replaced = true;
    }
    for (const auto& s : staged) ::unlink(s.old.c_str());
    return {};
}

}  // namespace he::tool
