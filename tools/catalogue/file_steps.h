// The steps a whole-file write is made of, shared by the write of one file
// (files.cpp) and the journal that replaces several as one (journal.cpp):
// hecat's own, for no other part of it.
#pragma once

#include <sys/stat.h>

#include <string>

namespace he::tool::steps {

// What the error number says (EIO for none).
std::string why_not(int err);

// Writes the whole content, through short writes and interruptions.
bool write_all(int fd, const std::string& content);

// The folder part of a path, with its slash ("" for a bare name).
std::string folder_of(const std::string& path);

// Why a file that stands may not be replaced, or "".
std::string refusal(const std::string& target, const struct stat& st);

// Writes `content` to a new temporary file beside `target`, flushed to disk,
// owned as `was` says (see take_owner_and_mode): named `tmp` where it names
// one, else a unique name put in `tmp` (empty when none was made). Returns
// why it failed, or "".
std::string stage(const std::string& target, const std::string& content, const struct stat* was, std::string& tmp);

// A test stops hecat at the Nth step of replacing files (HECAT_TEST_STOP=N):
// to kill it, or to edit the tables, at that instant.
void step();

// Flushes a folder's entries to disk, so that a rename in it lasts.
void sync_folder(const std::string& folder);

// Whether anything stands at the path: a symbolic link counts, followed or not.
bool exists(const std::string& path);

// The resolved path of an existing file or folder, or "".
std::string real(const std::string& path);

// Whether `path` lies inside the folder `top` (both resolved).
bool under(const std::string& path, const std::string& top);

// Whether `path`, as named, lies in the checkout folder `checkout`.
bool in_checkout(const std::string& path, const std::string& checkout);

// A regular file's identity: device, inode, size and modification time (as
// stat -c %d:%i:%s:%.9Y writes them); "" for anything else, or nothing. A file
// replaced (git checkout, sed -i) has another inode; one written in place
// another size or time.
std::string identity_of(const struct stat& st);

// Of the file a path names itself: a symbolic link is no regular file.
std::string identity_at(const std::string& path);

}  // namespace he::tool::steps
