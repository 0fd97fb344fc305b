// Files read and written whole. A file is replaced through a temporary file
// of a unique name beside it, flushed to disk and renamed over it, so it is
// written whole or not at all; several files are replaced as one, the old
// ones kept under a second name until the last new one is in place and put
// back if one fails. A replaced file keeps its owner and mode; a read-only
// one is refused. Nothing but hecat's own temporary files is ever created or
// removed.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace he::tool {

// The whole content of a file, or nothing when it cannot be read.
std::optional<std::string> read_file(const std::string& path);

// Writes one file whole. A symbolic link is followed to the file it names; a
// FIFO or a character device (a terminal, /dev/null) is written in place,
// never replaced, and a FIFO that no program reads from is refused after a
// short wait. Returns "cannot write PATH: why", or "" when it was written.
std::string write_file(const std::string& path, const std::string& content);

// Replaces several regular files as one: (path, new content) each. Returns
// "cannot write PATH: why; no file changed", or "" when all were written.
std::string write_files(const std::vector<std::pair<std::string, std::string>>& files);

}  // namespace he::tool
