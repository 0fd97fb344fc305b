// The import plan: what a translators' PO file changes in the tables, decided
// three ways for each unit (the text it was exported with, the table's now,
// the file's) and held to every rule of the build before anything is written.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "po.h"

namespace he::tool {

struct ImportOptions {
    bool prefer_file = false;    // a unit changed in the file and in the tables: take the file's text
    bool change_quoted = false;  // the editor's own (quoted) texts may change
};

struct ImportFinding {
    std::string name;  // the entry, or the file position for a unit without one
    std::string message;
};

struct ImportPlan {
    std::vector<ImportFinding> findings;  // any finding: nothing may be written
    std::vector<ImportFinding> skipped;   // fuzzy and untranslated units
    std::vector<ImportFinding> notes;     // what the import kept or took, and why
    // The files to replace, with their new contents.
    std::vector<std::pair<std::string, std::string>> files;
    std::size_t units = 0, changed = 0;
    std::size_t unlisted = 0;  // findings counted but not listed
};

// What importing `po` into the tables under the repository folder `root`
// changes: every rule of the build is applied to the catalogue as it would
// be, and the rows of the changed entries are rewritten in their files (and
// in tests/data/texts.txt for quoted ones). A unit the translator left as
// exported keeps the table's text, even where the table changed since; a
// unit changed in both is a conflict. Writes nothing.
ImportPlan plan_import(const PoFile& po, const std::string& root, const ImportOptions& options = {});

}  // namespace he::tool
