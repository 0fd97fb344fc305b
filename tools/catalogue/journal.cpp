// Several files replaced as one under a journal (files.h).
#include "files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "file_steps.h"
#include "model.h"

namespace he::tool {

using namespace steps;

namespace {

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

// The journal: a first field, the folder's identity, the state, then each
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

}  // namespace

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
    if (why.empty()) {
        sync_folder(folder_of(target));
        return {};
    }
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
        // A journal that cannot say "undoing" still says what it said: the
        // next hecat then finishes or undoes by it, so nothing is put back
        // here against it.
        if (const std::string failed = write_journal(folder, kUndoing, plan); !failed.empty())
            return why + "; marking the journal for undoing failed too: " + failed + " (the next hecat settles it by the journal)";
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
