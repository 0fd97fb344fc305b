// A translator's old file brought up to today's tables (hecat update), and
// the state of each of its units against the tables, which an import also
// writes when it brings the file it imported up to the tables.
#pragma once

#include <map>
#include <set>
#include <span>
#include <string>

#include "bases.h"
#include "model.h"
#include "po.h"

namespace he::tool {

// The file brought up to today's tables (`c`, read under `root`) the way
// msgmerge brings a file up to a new template, but three ways: a unit the translator did not change takes
// today's text; one changed in the file only keeps it; one changed on both
// sides (or with no record) keeps the file's text, marked fuzzy, with the
// English it was translated from as gettext's previous text (#| msgid), the
// Hebrew at export in a hecat-was comment where git still has it, and
// today's text in a note. Units of entries the tables no longer hold
// become obsolete (#~). `commit` is recorded in the header, but in a file
// that records none (the repository's own copy).
// With the file, a line saying what the update did: the units written, how
// many took the tables' text, kept the file's, are fuzzy, obsolete.
struct Updated {
    std::string content, summary;
};
Updated updated_po(const Catalogue& c, const PoFile& po, const std::string& root, const std::string& commit);

// Each unit of the file as it stands against `rows`, the tables of `c` as
// they are or will be: the state `updated_po` and a refreshed file write.
// `settled` names units whose conflict the import settled for the tables.
std::map<std::string, UnitState, std::less<>> unit_states(const Catalogue& c, const PoFile& po, Bases& bases,
                                                          std::span<const Entry> rows, bool after_import,
                                                          const std::set<std::string>& settled);

}  // namespace he::tool
