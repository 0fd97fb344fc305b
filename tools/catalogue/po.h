// The catalogue as a gettext PO file for translators' tools (Poedit,
// Weblate, Lokalize...), and such a file read back: the format alone. Each
// unit holds its text as a Hebrew reader reads it (reading.h) and records
// the text it was exported with, so that an import (import.h) can tell what
// changed in the file from what changed in the tables.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "model.h"

namespace he::tool {

// The digest by which a unit records the text it was exported with: 16 hex
// digits of FNV-1a over the reading (line breaks as CR, specifiers plain).
std::string base_digest(std::string_view reading);

// One PO file of every catalogue entry with wording (the identity values and
// the texts empty by rule are left out). `revision` is the PO-Revision-Date,
// `commit` the commit of the tables, recorded with the unit count in the
// header; each unit records the digest of its text in a comment, so that an
// import can tell what changed in the file from what changed in the tables.
// Line breaks are written \n, as translators' tools write them. `tables`,
// where the files read differ from that commit, says so in the header
// (X-Hecat-Tables).
std::string po_export(const std::vector<Item>& items, std::string_view revision, std::string_view commit,
                      std::string_view tables = {});

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

}  // namespace he::tool
