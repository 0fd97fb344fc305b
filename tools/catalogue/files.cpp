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
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <thread>

#include "model.h"

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

// The resolved path of an existing file or folder, or "".
std::string real(const std::string& path) {
    char* r = ::realpath(path.empty() ? "." : path.c_str(), nullptr);
    if (r == nullptr) return {};
    std::string out = r;
    std::free(r);
    return out;
}

// A path made absolute and without "." and "..", links not followed.
std::string absolute(const std::string& path) {
    std::filesystem::path p(path);
    if (p.is_relative()) p = std::filesystem::path(real(".")) / p;
    std::string out = p.lexically_normal().string();
    if (out.size() > 1 && out.back() == '/') out.pop_back();
    return out;
}

bool under(const std::string& path, const std::string& top) { return !top.empty() && path.starts_with(top + "/"); }

bool in_checkout(const std::string& path, const std::string& checkout) {
    const std::string named = absolute(path);
    return under(named, real(checkout)) || under(named, absolute(checkout));
}

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

// A regular file's identity: device, inode, size and modification time (as
// stat -c %d:%i:%s:%.9Y writes them); "" for anything else, or nothing. A file
// replaced (git checkout, sed -i) has another inode; one written in place
// another size or time.
std::string identity_of(const struct stat& st) {
    if (!S_ISREG(st.st_mode)) return {};
    char nanoseconds[16];
    std::snprintf(nanoseconds, sizeof nanoseconds, ".%09ld", static_cast<long>(st.st_mtim.tv_nsec));
    return std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino) + ":" + std::to_string(st.st_size) + ":" +
           std::to_string(st.st_mtim.tv_sec) + nanoseconds;
}

// Of the file a path names itself: a symbolic link is no regular file.
std::string identity_at(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 ? identity_of(st) : std::string();
}

// One file replaced under the journal: `rel` its path from the checkout's
// top, `was` the identity of the file it replaces, `made` that of the new
// file once written. The new file is written beside it as .hecat-new-NAME,
// and .hecat-old-NAME is a second name of the old one, kept until the last
// new file is in place.
struct Replacement {
    std::string rel, was, made;
};

std::string beside(const std::string& folder, const std::string& rel, std::string_view prefix) {
    const std::string dir = folder_of(rel);
    return folder + "/" + dir + std::string(prefix) + rel.substr(dir.size());
}
std::string target_of(const std::string& folder, const Replacement& f) { return folder + "/" + f.rel; }
std::string new_of(const std::string& folder, const Replacement& f) { return beside(folder, f.rel, ".hecat-new-"); }
std::string old_of(const std::string& folder, const Replacement& f) { return beside(folder, f.rel, ".hecat-old-"); }

// The journal: a first line, the folder's identity, the state, then each
// file's path, old and new identity, each ended by a zero byte.
// "staging": the new files are being written, no target is touched (undone
// when found: hecat's own files removed); "replacing": all are written and
// are being renamed into place (finished when found); "undoing": the old
// files are being put back where the new ones stand.
constexpr std::string_view kJournalHead = "hecat journal 2";
constexpr std::string_view kStaging = "staging", kReplacing = "replacing", kUndoing = "undoing";

std::string journal_of(const std::string& folder) { return folder + "/.hecat-journal"; }

// The folder's device and inode: a journal copied along with a checkout
// names the files of the one it was written in, and is not followed.
std::string folder_identity(const std::string& folder) {
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0) return "?";
    return std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino);
}

std::string write_journal(const std::string& folder, std::string_view state, const std::vector<Replacement>& files) {
    std::string content(kJournalHead);
    content.append(1, '\0').append(folder_identity(folder)).append(1, '\0').append(state).append(1, '\0');
    for (const auto& f : files) content.append(f.rel).append(1, '\0').append(f.was).append(1, '\0').append(f.made).append(1, '\0');
    const std::string path = journal_of(folder), next = path + "-new";
    step();
    ::unlink(next.c_str());  // the lock is held: one left there is a killed hecat's, or planted
    const int fd = ::open(next.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
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

// Why a journal's path is not one hecat may touch: it must name, from the
// checkout's top and through the checkout's own folders (no symbolic link),
// a file that is not one of hecat's own. "" where it may.
std::string unsafe(const std::string& folder, const std::string& rel) {
    for (std::size_t p = 0; p <= rel.size();) {
        const std::size_t end = std::min(rel.find('/', p), rel.size());
        const std::string_view part(rel.data() + p, end - p);
        if (part.empty() || part == "." || part == "..") return "is no path inside the checkout";
        p = end + 1;
    }
    const std::string dir = folder_of(rel);
    if (rel.substr(dir.size()).starts_with(".hecat-")) return "is one of hecat's own files";
    const std::string top = real(folder), at = real(folder + "/" + dir);
    if (top.empty() || at + "/" != top + "/" + dir) return "lies through a symbolic link or a folder that is not there";
    return {};
}

// The journal's state and files, or why it is not one hecat wrote in this
// folder or may follow.
std::string read_journal(const std::string& folder, const std::string& content, std::string& state,
                         std::vector<Replacement>& files) {
    std::vector<std::string> fields;
    for (std::size_t p = 0; p < content.size();) {
        const auto end = content.find('\0', p);
        if (end == std::string::npos) break;
        fields.push_back(content.substr(p, end - p));
        p = end + 1;
    }
    const std::string path = journal_of(folder);
    if (fields.size() < 3 || fields[0] != kJournalHead || (fields.size() - 3) % 3 != 0 || fields[1] != folder_identity(folder) ||
        (fields[2] != kStaging && fields[2] != kReplacing && fields[2] != kUndoing))
        return path + " is not a journal hecat wrote in this folder: nothing done (remove it once the tables are as they should be)";
    state = fields[2];
    for (std::size_t i = 3; i + 3 <= fields.size(); i += 3) {
        files.push_back({fields[i], fields[i + 1], fields[i + 2]});
        if (const std::string why = unsafe(folder, fields[i]); !why.empty())
            return path + " names " + visible(fields[i]) + ", which " + why + ": nothing done (the journal is kept)";
    }
    return {};
}

// Which files still need their move: forward, the new file (still `made`)
// over a target that is still `was`; back, the old one (still `was`) over a
// target that is still `made`. A file whose move is done needs none. A target
// that is neither is someone's later change: going forward refuses (nothing
// moved, so that no change is lost); going back leaves it as it is.
std::string pending(const std::string& folder, const std::vector<Replacement>& files, bool forward, std::vector<bool>& todo) {
    todo.assign(files.size(), false);
    for (std::size_t i = 0; i < files.size(); ++i) {
        const auto& f = files[i];
        const std::string target = identity_at(target_of(folder, f)), to = forward ? f.made : f.was;
        const std::string from = forward ? f.was : f.made;
        if (!to.empty() && target == to) continue;
        if (from.empty() || target != from) {
            if (forward) return f.rel + " has changed since the import began";
            continue;
        }
        if (to.empty() || identity_at(forward ? new_of(folder, f) : old_of(folder, f)) != to)
            return (forward ? "the new " : "the old ") + f.rel + " is gone or changed";
        todo[i] = true;
    }
    return {};
}

// Makes the moves `todo` names, each only while its target is still the file
// the import found (forward) or made (back): the last look before each
// rename, which a checkout or an editor working without hecat's lock may
// have changed meanwhile. Returns why one was not made, or "".
std::string move(const std::string& folder, const std::vector<Replacement>& files, bool forward, const std::vector<bool>& todo) {
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (!todo[i]) continue;
        const auto& f = files[i];
        const std::string target = target_of(folder, f), from = forward ? new_of(folder, f) : old_of(folder, f);
        step();
        if (identity_at(target) != (forward ? f.was : f.made)) return f.rel + " has changed since hecat read it";
        if (::rename(from.c_str(), target.c_str()) != 0) return "cannot rename " + from + " to " + target + ": " + why_not(errno);
    }
    return {};
}

// Removes hecat's own files of an import, the journal last. Returns why it
// cannot, or "".
std::string clean(const std::string& folder, const std::vector<Replacement>& files) {
    std::set<std::string> folders{folder};
    for (const auto& f : files) {
        folders.insert(folder + "/" + folder_of(f.rel));
        step();
        ::unlink(new_of(folder, f).c_str());
        ::unlink(old_of(folder, f).c_str());
    }
    for (const auto& f : folders) sync_folder(f);
    step();
    if (::unlink(journal_of(folder).c_str()) != 0 && errno != ENOENT) return "cannot remove " + journal_of(folder) + ": " + why_not(errno);
    sync_folder(folder);
    return {};
}

// Puts back the old files where the new ones stand, leaving any other
// target as it is; then cleans. Returns why it cannot, or "".
std::string put_back(const std::string& folder, const std::vector<Replacement>& files) {
    std::vector<bool> todo;
    std::string why = pending(folder, files, false, todo);
    if (why.empty()) why = move(folder, files, false, todo);
    return why.empty() ? clean(folder, files) : why;
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
    std::string state;
    std::vector<Replacement> files;
    if (const std::string why = read_journal(folder, *content, state, files); !why.empty()) return why;
    const std::string where = real(folder).empty() ? folder : real(folder);
    const std::string kept = " (the journal " + path + " is kept)";
    if (state == kReplacing) {
        std::vector<bool> todo;
        std::string why = pending(folder, files, true, todo);
        if (!why.empty())
            return "an import into " + where + " was interrupted while it replaced its files, and " + why +
                   ": nothing done, so that no change is lost (put the files as they should be, then remove " + path +
                   " and the .hecat-new-* and .hecat-old-* files beside them)";
        if (why = move(folder, files, true, todo); why.empty()) why = clean(folder, files);
        if (!why.empty()) return "an import was interrupted, and finishing it failed: " + why + kept;
        said = "an import into " + where + " was interrupted; finished it (" + std::to_string(files.size()) + " files replaced)";
        return {};
    }
    // Staged: no target was touched, so only hecat's own files go.
    const std::string why = state == kStaging ? clean(folder, files) : put_back(folder, files);
    if (!why.empty()) return "an import was interrupted, and undoing it failed: " + why + kept;
    said = "an import into " + where + " was interrupted; undid it (no file changed)";
    return {};
}

namespace {

// Plans the files of `folder` to replace: each resolved through its links,
// which must stay inside the folder. The rest of `files` (a PO file outside
// the checkout) go to `alone` with the identity they have now. Returns why a
// file cannot be replaced, or "".
std::string plan_files(const std::string& folder, const std::vector<std::pair<std::string, std::string>>& files,
                       std::vector<Replacement>& plan, std::vector<struct stat>& was, std::vector<const std::string*>& contents,
                       std::vector<std::string>& alone) {
    const std::string top = real(folder);
    for (const auto& [path, content] : files) {
        const auto cannot = [&](const std::string& why) { return "cannot write " + path + ": " + why; };
        const std::string target = real(path);
        struct stat st {};
        if (target.empty() || ::stat(target.c_str(), &st) != 0) return cannot(why_not(errno));
        if (const std::string why = refusal(target, st); !why.empty()) return cannot(why);
        if (!in_checkout(path, folder)) {
            alone.push_back(identity_of(st));
            continue;
        }
        if (!under(target, top)) return cannot("a symbolic link on the way leads out of the checkout, to " + target);
        plan.push_back({target.substr(top.size() + 1), identity_of(st), {}});
        was.push_back(st);
        contents.push_back(&content);
    }
    return {};
}

// Writes each new file beside its target and a second name of the old one.
std::string stage_all(const std::string& folder, std::vector<Replacement>& plan, const std::vector<struct stat>& was,
                      const std::vector<const std::string*>& contents) {
    for (std::size_t i = 0; i < plan.size(); ++i) {
        auto& r = plan[i];
        std::string tmp = new_of(folder, r);
        const std::string old = old_of(folder, r);
        std::string why = stage(target_of(folder, r), *contents[i], &was[i], tmp);
        step();
        if (why.empty()) {
            r.made = identity_at(tmp);
            ::unlink(old.c_str());
            if (::link(target_of(folder, r).c_str(), old.c_str()) != 0) why = why_not(errno);
        }
        if (!why.empty()) return "cannot write " + r.rel + ": " + why;
    }
    return {};
}

// A file outside the checkout, replaced on its own once the checkout's are
// in place, while it is still the file it was.
std::string replace_alone(const std::string& path, const std::string& content, const std::string& was) {
    const std::string target = real(path);
    struct stat st {};
    if (target.empty() || ::stat(target.c_str(), &st) != 0 || identity_of(st) != was)
        return path + " has changed since hecat read it: not brought up to the tables";
    std::string tmp;
    std::string why = stage(target, content, &st, tmp);
    if (why.empty() && identity_at(target) != was) why = "it has changed since hecat read it";
    if (why.empty() && ::rename(tmp.c_str(), target.c_str()) != 0) why = why_not(errno);
    if (why.empty()) return {};
    if (!tmp.empty()) ::unlink(tmp.c_str());
    return "cannot write " + path + ": " + why;
}

}  // namespace

std::string write_files(const std::string& folder, const std::vector<std::pair<std::string, std::string>>& files,
                        const std::function<std::string()>& last_check) {
    // Everything that can be refused is, before anything is written.
    std::vector<Replacement> plan;
    std::vector<struct stat> was;
    std::vector<const std::string*> contents;
    std::vector<std::string> alone_was;
    if (const std::string why = plan_files(folder, files, plan, was, contents, alone_was); !why.empty())
        return why + "; no file changed";
    const auto undo = [&](const std::string& why) {
        write_journal(folder, kUndoing, plan);
        if (const std::string failed = put_back(folder, plan); !failed.empty())
            return why + "; putting the old files back failed too: " + failed + " (the next hecat tries again)";
        return why + "; no file changed";
    };
    if (const std::string why = write_journal(folder, kStaging, plan); !why.empty()) return why + "; no file changed";
    if (const std::string why = stage_all(folder, plan, was, contents); !why.empty()) return undo(why);
    if (const std::string why = last_check ? last_check() : std::string(); !why.empty()) return undo(why);
    if (const std::string why = write_journal(folder, kReplacing, plan); !why.empty()) return undo(why);
    if (const std::string why = move(folder, plan, true, std::vector<bool>(plan.size(), true)); !why.empty())
        return undo(why.ends_with("since hecat read it") ? why + " (saved while the import ran)" : why);
    if (const std::string why = clean(folder, plan); !why.empty())
        return "the new files are in place, but " + why + " (the next hecat tries again)";
    std::size_t i = 0;
    for (const auto& [path, content] : files) {
        if (in_checkout(path, folder)) continue;
        if (const std::string why = replace_alone(path, content, alone_was[i++]); !why.empty())
            return "the tables are written, but " + why;
    }
    return {};
}

}  // namespace he::tool
