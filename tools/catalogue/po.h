// The catalogue as a gettext PO file for translators' tools (Poedit,
// Weblate, Lokalize...), its template (POT), and such a file read back: the
// format alone. Each unit holds its text as a Hebrew reader reads it
// (reading.h) and records the text it was exported with in a translator
// comment ("# hecat-base: DIGEST COMMIT"), which gettext's msgmerge, Translate
// Toolkit's pot2po and pomerge and the platforms built on them keep with the
// unit's msgstr when they refresh a file from a newer template; so an import
// (import.h) can tell what changed in the file from what changed in the
// tables, whatever refreshed the file.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model.h"

namespace he::tool {

// The digest by which a unit records the text it was exported with: 16 hex
// digits of FNV-1a over the reading (line breaks as CR, specifiers plain).
std::string base_digest(std::string_view reading);

// Entries with wording have a unit; the identity values and the texts empty
// by rule have none.
bool has_unit(const Entry& e);

// A unit as a file holds it where that is not as exported: the file's text
// and the translator's marks, kept by `hecat update` and after an import.
// A fuzzy unit carries what settles it: the English it was translated from
// as gettext's previous text (#| msgid, which translators' tools set beside
// the msgid), the Hebrew at export in hecat's own translator comment
// ("# hecat-was: "..."") and a note of what the tables read now.
struct UnitState {
    std::string msgstr{};         // the reading, line breaks as CR
    std::string base{};           // the digest to record; empty: none (the commit is the export's)
    bool fuzzy = false;
    std::string previous{};       // the English it was translated from (#| msgid), line breaks as CR, or empty
    std::string previous_context{};  // its #| msgctxt where the file has one other than the entry's name
    std::string was{};            // the Hebrew at export (hecat-was), line breaks as CR, or empty
    std::string note{};           // one more comment for the translator, or empty
    std::vector<std::string> comments{};  // the translator's own comment lines
};

// How hecat's notes on a fuzzy unit begin, so that a file read back keeps them.
inline constexpr std::string_view kFuzzyNotes[] = {"Changed in the tables since this file was made",
                                                   "No record of the text this file was made from"};

// The entries that must read the same as `name` (src/rules.h), as its
// unit's comment lists them, or none.
std::string shared_with(std::string_view name);

struct PoUnit;

// A file's header as the translator, their tool or their platform left it:
// its comment lines, its fuzzy mark, its fields ("Name: value"), one a line.
struct PoHeader {
    std::vector<std::string> comments;
    std::vector<std::string> fields;
    bool fuzzy = false;
};

// What an export writes. `commit` is recorded in the header and beside each
// unit's digest; the copies kept in the repository record none, and no date,
// so that they are a function of the tables alone (a commit cannot name
// itself). A template (POT) has empty msgstr, and no record and no commit.
struct PoExport {
    bool pot = false;
    std::string revision{};  // POT-Creation-Date: the date of the tables' commit; empty in the repository's copies
    std::string revised{};   // PO-Revision-Date where hecat writes the header: the export's date, or empty
    std::string commit{};
    std::map<std::string, UnitState, std::less<>> states{};  // by entry name
    std::vector<PoUnit> obsolete{};                         // written as #~ units
    std::string tables{};  // where the files read differ from `commit`: which (X-Hecat-Tables), else empty
    // The header of the file brought up to the tables (an import's, an
    // update's), whose fields are kept but for hecat's own; none: hecat's header.
    std::optional<PoHeader> header{};
};

// The date and time now, as a PO header writes one ("2026-05-05 10:00+0300").
std::string po_date_now();

// One PO file (or template) of every entry of `items` with wording. Line
// breaks are written \n, as translators' tools write them. Each unit's
// comments say where the editor shows the text (its place in the menus of
// the catalogue `c`), its rules, and the entries that must read the same
// with it.
std::string po_export(const Catalogue& c, const std::vector<Item>& items, const PoExport& what);

// No PO file of this catalogue comes near this size; a larger one is refused
// before it is read into memory.
inline constexpr std::size_t kLargestPoFile = 4 << 20;

// A unit's record of the text it was exported with: its digest, and the
// commit of the tables it was exported from where one was recorded.
struct BaseRecord {
    std::string digest, commit;
    bool operator==(const BaseRecord&) const = default;
};

// A unit carries one record, or two where a merge tool joined two files'
// comments; the records past this many are ignored, each of which would cost
// a look into git's history.
inline constexpr std::size_t kRecordsKept = 16;

struct PoUnit {
    std::string context{}, msgid{}, msgstr{};  // msgstr with its line breaks as CR
    // The records of the text at export: translator comments, more than one
    // where a merge tool joined two files' comments; an older export's
    // extracted comment where there is none.
    std::vector<BaseRecord> bases{};
    std::vector<std::string> comments{};  // the translator's other comment lines
    bool extracted_record = false;  // the digest came from an older export's extracted comment
    bool fuzzy = false, obsolete = false;
    std::size_t line = 0;  // of its msgctxt (or msgid) in the PO file
    // What settles a fuzzy unit, as UnitState holds it.
    std::string previous{}, previous_context{}, was{}, note{};
    bool plural = false;   // has msgid_plural: refused as read (an error of the file)
};

struct PoFile {
    std::string path;
    std::string text;                 // as read, without a byte order mark
    std::vector<PoUnit> units;
    std::vector<PoUnit> obsolete;     // #~ units
    std::vector<std::string> errors;  // the file could not be read as a UTF-8 PO file
    std::size_t unkept_errors = 0;    // errors past the first hundred, counted only
    std::string commit;               // X-Hecat-Commit: the tables it was exported from
    std::size_t exported_units = 0;   // X-Hecat-Units, 0 when not recorded
    std::optional<PoHeader> header;   // none where the file has no header unit
    std::string identity;             // of the regular file read (files.h), else empty
    std::string warning;              // what was read and ignored (records past kRecordsKept), else empty
};

// Whether the file records a commit, in its header or beside a unit's
// digest; one that records none (the repository's own copy) is refreshed
// without one.
bool records_commit(const PoFile& po);

// Reads a PO file once (a FIFO or a process substitution too), at most
// kLargestPoFile bytes, with libgettextpo. Refused in one line each: a file
// in another encoding or charset than UTF-8, one with no unit, and a zero
// byte in a string however it is written (raw or as any escape whose low
// byte gettext keeps), which would end the text there. A UTF-8 byte order
// mark is passed over.
PoFile po_read(const std::string& path);

// Why the regular file `po` was read from is no longer as read (saved again,
// replaced), or "": an import's last look before it replaces anything.
std::string changed_since_read(const PoFile& po);

}  // namespace he::tool
