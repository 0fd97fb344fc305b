// Files read and written whole. A file is replaced through a temporary file
// beside it, flushed to disk and renamed over it, so it is written whole or
// not at all. Several files are replaced as one under a journal in the
// checkout's folder, as version control does it: the journal names the files
// (by their paths from the checkout's top, so a checkout moved keeps it) and
// the identity of each before any new one is made, and says when all are
// written; a hecat killed at any instant leaves a journal that the next hecat
// finishes (all new) or undoes (all old), leaving none of its own files
// behind. Neither ever replaces a file someone changed since the import
// began: such a file is left as it is, and the journal kept with one line
// saying why. A journal is obeyed only inside its checkout: a path that
// leaves it (absolute, "..", a symbolic link on the way) or names one of
// hecat's own files is refused. A replaced file keeps its owner and mode; a
// read-only one is refused. Besides the file an --output names, nothing but
// hecat's own files (.hecat-*) is ever created or removed.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace he::tool {

// The whole content of a file, or nothing when it cannot be read.
std::optional<std::string> read_file(const std::string& path);

// The identity of an open regular file: its device, inode, size and
// modification time, which a save, a checkout or an edit in place changes;
// "" for anything but a regular file.
std::string file_identity(int fd);

// Writes one file whole. A symbolic link is followed to the file it names; a
// FIFO or a character device (a terminal, /dev/null) is written in place,
// never replaced, and a FIFO that no program reads from is refused after a
// short wait. `--output FILE` is written through here, so it follows a link
// wherever it leads, but for a FILE inside `checkout` (the checkout hecat
// reads, or "" for none) whose link, or a folder's on the way, leads out of
// it: that is refused, since a checkout's links are its committers' choice,
// not the user's. Returns "cannot write PATH: why", or "" when it was written.
std::string write_file(const std::string& path, const std::string& content, const std::string& checkout = {});

// Takes the lock of `folder` (the checkout), held until hecat ends or
// unlock_folder(): hecat commands on one checkout run one at a time, and an
// import holds it from reading the tables to its last rename. One that must
// wait says so once on standard error. Returns why it cannot, or "".
std::string lock_folder(const std::string& folder);
void unlock_folder();

// Finishes or undoes what an interrupted write_files() left in `folder`'s
// journal; run with the lock held, before the tables are read. `said` is one
// line of what was done ("" when nothing was left). Returns why it cannot,
// or "".
std::string recover_files(const std::string& folder, std::string& said);

// Replaces several regular files as one, under the journal of `folder`, whose
// lock the caller holds: (path, new content) each. A file inside the folder is
// followed through its links only while they stay inside it. Every new file is
// written and flushed beside its target, then `last_check` runs (a refusal
// from it undoes everything), and only then are they renamed into place, each
// only while its target is still the file it was when this began: else the
// ones renamed are put back. A file outside the folder (a translator's PO file
// kept elsewhere) is replaced on its own once the others are in place, while
// it is still the file it was. Returns "" when all were written, else one
// line: why, and what was left ("no file changed", or what the next hecat
// finishes or puts back by the journal, or that the tables are written but
// the file outside is not).
std::string write_files(const std::string& folder, const std::vector<std::pair<std::string, std::string>>& files,
                        const std::function<std::string()>& last_check);

}  // namespace he::tool
