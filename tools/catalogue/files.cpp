// Files read and written whole (files.h).
#include "files.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
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

// Writes `content` to a new temporary file beside `target`, flushed to disk,
// owned as `was` says (see take_owner_and_mode): named `tmp` where it names
// one, else a unique name put in `tmp` (empty when none was made). Returns
// why it failed, or "".
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

// A test stops hecat at the Nth step of replacing files (HECAT_TEST_STOP=N):
// to kill it, or to edit the tables, at that instant.
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

// One file replaced under the journal: its new content is written to `tmp`,
// and `old` is a second name of the file it replaces, kept until the last new
// file is in place.
struct Replacement {
    std::string target, tmp, old;
};

// The journal: a first line, the folder's identity, the state, then target,
// new and old name of each file, each ended by a zero byte. "staging": the new files are being
// written, so the old ones stand (undone when found); "replacing": all are
// written and are being renamed into place (finished when found);
// "undoing": a rename failed and the old ones are being put back.
constexpr std::string_view kJournalHead = "hecat journal 1";

std::string journal_of(const std::string& folder) { return folder + "/.hecat-journal"; }

// The folder's device and inode: a journal copied along with a checkout
// names the files of the one it was written in, and is not followed.
std::string identity_of(const std::string& folder) {
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0) return "?";
    return std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino);
}

std::string write_journal(const std::string& folder, std::string_view state, const std::vector<Replacement>& files) {
    std::string content(kJournalHead);
    content.append(1, '\0').append(identity_of(folder)).append(1, '\0').append(state).append(1, '\0');
    for (const auto& f : files) content.append(f.target).append(1, '\0').append(f.tmp).append(1, '\0').append(f.old).append(1, '\0');
    const std::string path = journal_of(folder), next = path + "-new";
    step();
    const int fd = ::open(next.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    bool ok = fd >= 0 && write_all(fd, content) && ::fsync(fd) == 0;
    int err = errno;
    if (fd >= 0 && ::close(fd) != 0 && ok) ok = false, err = errno;
    step();
    if (ok && ::rename(next.c_str(), path.c_str()) != 0) ok = false, err = errno;
    if (!ok) {
        ::unlink(next.c_str());
        return "cannot write " + path + ": " + why_not(err);
    }
    sync_folder(folder);
    return {};
}

// Puts every file in its final state: the new ones in place (forward), or the
// old ones back; then no name of hecat's own is left, the journal last.
// Returns why it cannot, or "".
std::string settle(const std::string& folder, const std::vector<Replacement>& files, bool forward) {
    std::set<std::string> folders{folder};
    for (const auto& f : files) {
        folders.insert(folder_of(f.target));
        step();
        if (forward && exists(f.tmp) && ::rename(f.tmp.c_str(), f.target.c_str()) != 0)
            return "cannot rename " + f.tmp + " to " + f.target + ": " + why_not(errno);
        // An old name of the same file as the target: rename() leaves both, unlink() below removes it.
        if (!forward && exists(f.old) && ::rename(f.old.c_str(), f.target.c_str()) != 0)
            return "cannot rename " + f.old + " to " + f.target + ": " + why_not(errno);
    }
    for (const auto& f : files) {
        step();
        ::unlink(f.old.c_str());
        ::unlink(f.tmp.c_str());
    }
    for (const auto& f : folders) sync_folder(f);
    step();
    if (::unlink(journal_of(folder).c_str()) != 0 && errno != ENOENT) return "cannot remove " + journal_of(folder) + ": " + why_not(errno);
    sync_folder(folder);
    return {};
}

int g_lock = -1;

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

std::string recover_files(const std::string& folder, std::string& said) {
    said.clear();
    const std::string path = journal_of(folder);
    ::unlink((path + "-new").c_str());  // a journal killed before it was in place: nothing was made after it
    const auto content = read_file(path);
    if (!content) return exists(path) ? "cannot read " + path + ": " + why_not(errno) : std::string();
    std::vector<std::string> fields;
    for (std::size_t p = 0; p < content->size();) {
        const auto end = content->find('\0', p);
        if (end == std::string::npos) break;
        fields.push_back(content->substr(p, end - p));
        p = end + 1;
    }
    const auto ours = [](const std::string& name) { return name.substr(name.rfind('/') + 1).starts_with(".hecat-"); };
    std::vector<Replacement> files;
    for (std::size_t i = 3; i + 3 <= fields.size(); i += 3) files.push_back({fields[i], fields[i + 1], fields[i + 2]});
    const bool well_formed = fields.size() >= 3 && fields[0] == kJournalHead && (fields.size() - 3) % 3 == 0 &&
                             fields[1] == identity_of(folder) &&
                             (fields[2] == "staging" || fields[2] == "replacing" || fields[2] == "undoing") &&
                             std::all_of(files.begin(), files.end(), [&](const Replacement& f) { return ours(f.tmp) && ours(f.old); });
    if (!well_formed)
        return path + " is not a journal hecat wrote in this folder: nothing done (remove it once the tables are as they should be)";
    const bool forward = fields[2] == "replacing";
    if (const std::string why = settle(folder, files, forward); !why.empty())
        return "an import was interrupted, and finishing it failed: " + why + " (the journal " + path + " is kept)";
    std::string where = folder;
    if (char* real = ::realpath(folder.c_str(), nullptr)) where = real, std::free(real);
    said = "an import into " + where + " was interrupted; " +
           (forward ? "finished it (" + std::to_string(files.size()) + " files replaced)" : std::string("undid it (no file changed)"));
    return {};
}

std::string write_files(const std::string& folder, const std::vector<std::pair<std::string, std::string>>& files,
                        const std::function<std::string()>& last_check) {
    // Everything that can be refused is, before anything is written.
    std::vector<Replacement> plan;
    std::vector<struct stat> was;
    for (const auto& [path, content] : files) {
        Replacement r{path, {}, {}};
        if (char* real = ::realpath(path.c_str(), nullptr)) r.target = real, std::free(real);
        struct stat st {};
        if (::stat(r.target.c_str(), &st) != 0) return "cannot write " + path + ": " + why_not(errno) + "; no file changed";
        if (const std::string why = refusal(r.target, st); !why.empty()) return "cannot write " + path + ": " + why + "; no file changed";
        const std::string dir = folder_of(r.target), base = r.target.substr(dir.size());
        r.tmp = dir + ".hecat-new-" + base;
        r.old = dir + ".hecat-old-" + base;
        plan.push_back(r);
        was.push_back(st);
    }
    const auto undo = [&](const std::string& why) {
        if (const std::string failed = settle(folder, plan, false); !failed.empty())
            return why + "; putting the old files back failed too: " + failed + " (the next hecat tries again)";
        return why + "; no file changed";
    };
    if (const std::string why = write_journal(folder, "staging", plan); !why.empty()) return why + "; no file changed";
    for (std::size_t i = 0; i < plan.size(); ++i) {
        auto& r = plan[i];
        std::string tmp = r.tmp;
        std::string why = stage(r.target, files[i].second, &was[i], tmp);
        step();
        if (why.empty()) {
            ::unlink(r.old.c_str());
            if (::link(r.target.c_str(), r.old.c_str()) != 0) why = why_not(errno);
        }
        if (!why.empty()) return undo("cannot write " + files[i].first + ": " + why);
    }
    if (const std::string why = last_check ? last_check() : std::string(); !why.empty()) return undo(why);
    if (const std::string why = write_journal(folder, "replacing", plan); !why.empty()) return undo(why);
    for (std::size_t i = 0; i < plan.size(); ++i) {
        step();
        if (::rename(plan[i].tmp.c_str(), plan[i].target.c_str()) != 0) {
            const std::string why = "cannot write " + files[i].first + ": " + why_not(errno);
            write_journal(folder, "undoing", plan);
            return undo(why);
        }
    }
    if (const std::string why = settle(folder, plan, true); !why.empty())
        return "the new files are in place, but " + why + " (the next hecat tries again)";
    return {};
}

}  // namespace he::tool
