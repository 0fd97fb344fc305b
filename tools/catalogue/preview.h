// The review page: each text as the editor's left-to-right control shows it,
// beside the reading a Hebrew reader takes from it, in one self-contained
// HTML page; and the same in plain lines for a terminal.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "model.h"

namespace he::tool {

// The page of every entry of the catalogue; `pictures` links entries to
// pictures of them in real controls (./dev shots).
std::string html_preview(const Catalogue& c, const std::map<std::string, std::string>& pictures = {});

// The visual order of every line a reader sees, templates filled.
std::string terminal_preview(const std::vector<Item>& items);

// The pictures ./dev shots made in `folder` (its pictures.tsv), entry by
// entry, linked from a page written to `page` (empty: one in the current
// folder); nothing where the folder holds no pictures.tsv.
std::optional<std::map<std::string, std::string>> picture_links(const std::string& folder, const std::string& page);

}  // namespace he::tool
