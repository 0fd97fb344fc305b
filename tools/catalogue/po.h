// The catalogue as a gettext PO file for translators' tools (Poedit,
// Weblate, Lokalize...), and back.
//
// A PO file holds each text as a Hebrew reader reads it: in reading order,
// the order a right-to-left editor shows naturally. The module stores its
// texts in the order a left-to-right control shows them correctly, with a
// closing mark or a Latin word that ends the Hebrew phrase stored first. The
// export computes the reading of each stored text; the import computes the
// stored text whose reading is the translator's text, and refuses a text
// that no stored text reads as.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model.h"

namespace he::tool {

// The reading of a stored text (UTF-8, lines separated by CR). In a template
// whose reading puts the arguments in another order than the editor passes
// them, the specifiers are written with their argument numbers ("%2$s").
std::string reading_of(std::string_view stored, bool is_template);

// The stored text whose reading is `reading`, or nothing when no stored text
// reads that way. Positional specifiers come back as the plain sequence the
// editor passes. Where stored texts that read alike differ (a number may
// stand before or after the Hebrew it ends), each line takes the shape of
// the line of `was`, the text it replaces.
std::optional<std::string> stored_of(std::string_view reading, bool is_template, std::string_view was = {});

// The digest by which a unit records the text it was exported with: 16 hex
// digits of FNV-1a over the reading (line breaks as CR, specifiers plain).
std::string base_digest(std::string_view reading);

// One PO file of every catalogue entry with wording (the identity values and
// the texts empty by rule are left out). `revision` is the PO-Revision-Date,
// `commit` the commit of the tables, recorded with the unit count in the
// header; each unit records the digest of its text in a comment, so that an
// import can tell what changed in the file from what changed in the tables.
// Line breaks are written \n, as translators' tools write them.
std::string po_export(const std::vector<Item>& items, std::string_view revision, std::string_view commit);

struct PoUnit {
    std::string context, msgid, msgstr;  // msgstr with its line breaks as CR
    std::string base;                    // the digest recorded at export, or empty
    bool fuzzy = false;
    std::size_t line = 0;
};

struct PoFile {
    std::vector<PoUnit> units;
    std::vector<std::string> errors;  // the file could not be read as a UTF-8 PO file
    std::size_t unkept_errors = 0;    // errors past the first hundred, counted only
    std::string commit;               // X-Hecat-Commit: the tables it was exported from
    std::size_t exported_units = 0;   // X-Hecat-Units, 0 when not recorded
};

// Reads a PO file with libgettextpo: a UTF-8 byte order mark is passed over,
// an escape of the zero byte (which would end a text early) and a file with
// no unit are errors.
PoFile po_read(const std::string& path);

struct ImportOptions {
    bool prefer_file = false;    // a unit changed in the file and in the tables: take the file's text
    bool change_quoted = false;  // the editor's own (quoted) texts may change
};

struct ImportFinding {
    std::string name;   // the entry, or the file position for a unit without one
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

// Empty when the tables under `root` hold the texts this hecat was built
// with; else one sentence saying which file differs, or that none is there.
std::string tables_mismatch(const std::string& root);

}  // namespace he::tool
