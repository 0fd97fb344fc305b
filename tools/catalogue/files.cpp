// Files read and written whole (files.h).
#include "files.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "file_steps.h"

namespace he::tool {
namespace steps {

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

std::string folder_of(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string refusal(const std::string& target, const struct stat& st) {
    if (S_ISDIR(st.st_mode)) return "it is a folder";
    if (!S_ISREG(st.st_mode)) return "not a regular file";
    if ((st.st_mode & 0222) == 0 || ::access(target.c_str(), W_OK) != 0) return "it is read-only";
    return {};
}

namespace {

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

}  // namespace

std::string stage(const std::string& target, const std::string& content, const struct stat* was, std::string& tmp) {
    int fd = -1;
    if (tmp.empty()) {
        tmp = folder_of(target) + ".hecat-XXXXXX";
        fd = ::mkstemp(tmp.data());
    } else {
        ::unlink(tmp.c_str());  // one an earlier hecat left: the journal names it, and the lock is held
        fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    }
    if (fd < 0) {
        const int err = errno;
        tmp.clear();
        return why_not(err);
    }
    std::string why = take_owner_and_mode(fd, was);
    if (why.empty() && !(write_all(fd, content) && ::fsync(fd) == 0)) why = why_not(errno);
    if (::close(fd) != 0 && why.empty()) why = why_not(errno);
    return why;
}

namespace {

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

}  // namespace

void step() {
    static long left = [] {
        const char* n = std::getenv("HECAT_TEST_STOP");
        return n != nullptr ? std::atol(n) : 0L;
    }();
    if (left > 0 && --left == 0) ::raise(SIGSTOP);
}

void sync_folder(const std::string& folder) {
    const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

bool exists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

std::string real(const std::string& path) {
    char* r = ::realpath(path.empty() ? "." : path.c_str(), nullptr);
    if (r == nullptr) return {};
    std::string out = r;
    std::free(r);
    return out;
}

namespace {

// A path made absolute and without "." and "..", links not followed.
std::string absolute(const std::string& path) {
    std::filesystem::path p(path);
    if (p.is_relative()) p = std::filesystem::path(real(".")) / p;
    std::string out = p.lexically_normal().string();
    if (out.size() > 1 && out.back() == '/') out.pop_back();
    return out;
}

}  // namespace

bool under(const std::string& path, const std::string& top) { return !top.empty() && path.starts_with(top + "/"); }

bool in_checkout(const std::string& path, const std::string& checkout) {
    const std::string named = absolute(path);
    return under(named, real(checkout)) || under(named, absolute(checkout));
}

namespace {

// Why writing `path` would leave the checkout it lies in: through a symbolic
// link (the file's own or a folder's) that leads out. "" where it stays in,
// and for a path outside the checkout or one not yet there.
std::string leads_out(const std::string& path, const std::string& checkout) {
    if (checkout.empty() || !in_checkout(path, checkout)) return {};
    // A file not there yet is made where its folder leads.
    const std::string resolved = exists(path) ? real(path) : real(folder_of(absolute(path)));
    const std::string top = real(checkout);
    if (resolved.empty() || resolved == top || under(resolved, top)) return {};
    return "a symbolic link on the way leads out of the checkout, to " + resolved;
}

}  // namespace

std::string identity_of(const struct stat& st) {
    if (!S_ISREG(st.st_mode)) return {};
    char nanoseconds[16];
    std::snprintf(nanoseconds, sizeof nanoseconds, ".%09ld", static_cast<long>(st.st_mtim.tv_nsec));
    return std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino) + ":" + std::to_string(st.st_size) + ":" +
           std::to_string(st.st_mtim.tv_sec) + nanoseconds;
}

std::string identity_at(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 ? identity_of(st) : std::string();
}

}  // namespace steps

using namespace steps;

namespace {

int g_lock = -1;

}  // namespace

std::optional<std::string> read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string file_identity(int fd) {
    struct stat st {};
    return ::fstat(fd, &st) == 0 ? identity_of(st) : std::string();
}

std::string write_file(const std::string& path, const std::string& content, const std::string& checkout) {
    const auto cannot = [&](const std::string& why) { return "cannot write " + path + ": " + why; };
    if (const std::string why = leads_out(path, checkout); !why.empty()) return cannot(why);
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
    if (why.empty()) {
        sync_folder(folder_of(target));  // the rename too lasts a power cut
        return {};
    }
    if (!tmp.empty()) ::unlink(tmp.c_str());
    return cannot(why);
}

std::string lock_folder(const std::string& folder) {
    if (g_lock >= 0) return {};
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return "cannot open " + folder + ": " + why_not(errno);
    bool waited = false;
    while (::flock(fd, LOCK_EX | (waited ? 0 : LOCK_NB)) != 0) {
        if (errno == EWOULDBLOCK && !waited) {
            char* real = ::realpath(folder.c_str(), nullptr);
            std::fprintf(stderr, "hecat: waiting for another hecat working in %s\n", real != nullptr ? real : folder.c_str());
            std::free(real);
            waited = true;
        } else if (errno != EINTR) {
            const int err = errno;
            ::close(fd);
            return "cannot lock " + folder + ": " + why_not(err);
        }
    }
    g_lock = fd;
    return {};
}

void unlock_folder() {
    if (g_lock >= 0) ::close(g_lock);
    g_lock = -1;
}

}  // namespace he::tool
