// The import plan: what a translators' PO file changes in the tables, decided
// three ways for each unit (the text it was exported with, the table's now,
// the file's) and held to every rule of the build before anything is
// written. The same three ways bring an old file up to today's tables in
// update.h.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "po.h"

namespace he::tool {

struct ImportOptions {
    bool prefer_file = false;    // a unit changed in the file and in the tables: take the file's text
    bool prefer_tables = false;  // ... keep the table's text
    bool change_quoted = false;  // the editor's own (quoted) texts may change
    bool partial = false;        // a file that holds only some of the units, on purpose
};

struct ImportFinding {
    std::string name;     // the entry, or empty for the file as a whole
    std::string message;
    std::string where;    // FILE:LINE of the unit in the PO file, or empty
};

struct ImportPlan {
    std::vector<ImportFinding> findings;  // any finding: nothing may be written
    std::vector<ImportFinding> skipped;   // fuzzy and untranslated units
    std::vector<ImportFinding> notes;     // what the import kept or took, and why
    std::vector<ImportFinding> changes;   // each text changed: from and to, as read
    // The files to replace, with their new contents: the tables, and the PO
    // file itself brought up to the tables as they will be, so that it can be
    // edited further and imported again.
    std::vector<std::pair<std::string, std::string>> files;
    std::size_t units = 0, changed = 0;
    std::size_t unlisted = 0;  // findings counted but not listed
    std::string po_not_refreshed;  // why the PO file is left as it was, where it is
};

// What importing `po` into the catalogue `c`, read from the tables under the
// repository folder `root`, changes: every rule of the build is applied to
// the catalogue as it would be, and the rows of the changed entries are
// rewritten in their files (and in tests/data/texts.txt for quoted ones). A unit the translator left as
// exported keeps the table's text, even where the table changed since; a
// unit changed in both is a conflict. Writes nothing.
ImportPlan plan_import(const Catalogue& c, const PoFile& po, const std::string& root, const ImportOptions& options = {});

}  // namespace he::tool
