// An old file brought up to today's tables (update.h).
#include "update.h"

#include <algorithm>
#include <optional>

#include "arguments.h"
#include "checkout.h"
#include "reading.h"

namespace he::tool {
namespace {

// A unit changed on both sides (`both`), or without a record, waits fuzzy
// with what settles it: the English it was translated from (as msgmerge
// left it, else the file's msgid), the Hebrew at export where git has it
// (else as the file recorded it), and today's text in a note.
void mark_fuzzy(UnitState& s, const PoUnit& u, bool both, const std::string& today, const std::optional<std::string>& then) {
    s.fuzzy = true;
    if (s.previous.empty()) {
        s.previous = u.msgid;
        std::replace(s.previous.begin(), s.previous.end(), '\n', '\r');
    }
    if (then) s.was = *then;
    const std::string shown = visible(today);  // a comment line ends at a line break
    s.note = std::string(kFuzzyNotes[both ? 0 : 1]) + ": the tables now read \"" + shown +
             "\". This file's text is kept and marked fuzzy: settle it, then remove the fuzzy mark.";
}

// What an update did, in one line: the units it writes; of them those whose
// text it took from the tables where the file had another or none, those
// whose text it kept though the tables read otherwise, those it leaves
// fuzzy; and the units it keeps obsolete (#~).
std::string update_summary(const Catalogue& c, const PoFile& po, const PoExport& what) {
    std::map<std::string_view, const PoUnit*> file;
    for (const auto& u : po.units) file.emplace(u.context, &u);
    std::size_t units = 0, taken = 0, kept = 0, fuzzy = 0;
    for (const auto& item : items(c)) {
        const Entry& e = *item.entry;
        if (!has_unit(e)) continue;
        ++units;
        const auto s = what.states.find(e.name);
        const auto u = file.find(e.name);
        if (s == what.states.end() || u == file.end()) {
            ++taken;
        } else if (s->second.fuzzy) {
            ++fuzzy;
        } else if (s->second.msgstr != u->second->msgstr) {
            ++taken;
        } else if (!s->second.msgstr.empty() && canonical(s->second.msgstr) != canonical(reading_of(e.utf8, is_template(e.name)))) {
            ++kept;
        }
    }
    return std::to_string(units) + " units, " + std::to_string(taken) + " taken from the tables, " + std::to_string(kept) +
           " kept, " + std::to_string(fuzzy) + " fuzzy, " + std::to_string(what.obsolete.size()) + " obsolete";
}

}  // namespace

std::map<std::string, UnitState, std::less<>> unit_states(const Catalogue& c, const PoFile& po, Bases& bases,
                                                          std::span<const Entry> rows, bool after_import,
                                                          const std::set<std::string>& settled) {
    std::map<std::string_view, const Entry*> entries;
    for (const auto& e : rows) entries[e.name] = &e;
    const auto before = rows_by_name(c);
    std::map<std::string, UnitState, std::less<>> states;
    for (const auto& u : po.units) {
        const auto it = entries.find(u.context);
        if (it == entries.end() || !has_unit(*it->second) || states.count(u.context)) continue;
        const Entry& e = *it->second;
        const std::string today = reading_of(e.utf8, is_template(e.name));
        // A fuzzy unit keeps what settles it as the file has it, until it
        // is settled or marked anew.
        UnitState s{.msgstr = u.msgstr, .base = base_digest(today), .fuzzy = u.fuzzy, .previous = u.previous,
                    .previous_context = u.previous_context, .was = u.was, .note = u.note, .comments = u.comments};
        if (!u.fuzzy) s.previous = s.previous_context = s.was = s.note = std::string();
        if (u.msgstr.empty() || canonical(u.msgstr) == canonical(today)) {
            states[u.context] = std::move(s);
            continue;
        }
        const Entry& was = *before.at(u.context);
        const std::string now = reading_of(to_utf8(was.text), is_template(was.name));
        const Changed changed = changed_since_export(u.msgstr, now, bases.of(u, was));
        if (after_import && u.fuzzy) {
            // Skipped by the import: it waits as it was, with its record.
            if (!u.bases.empty()) s.base = u.bases.front().digest;
        } else if (changed == Changed::neither || changed == Changed::tables || settled.count(u.context)) {
            s.msgstr = today;
        } else if (changed == Changed::both || changed == Changed::unknown) {
            mark_fuzzy(s, u, changed == Changed::both, today, bases.reading(u, was));
        }
        states[u.context] = std::move(s);
    }
    return states;
}


Updated updated_po(const Catalogue& c, const PoFile& po, const std::string& root, const std::string& commit) {
    const bool dated = records_commit(po);
    Bases bases(c, po, root);
    PoExport what{.revision = dated ? HE_REVISION : "", .revised = dated ? po_date_now() : "", .commit = dated ? commit : "",
                  .states = unit_states(c, po, bases, c.rows, false, {}), .obsolete = po.obsolete, .header = po.header};
    const auto entries = rows_by_name(c);
    for (const auto& u : po.units)
        if (!entries.count(u.context) || !has_unit(*entries.at(u.context))) what.obsolete.push_back(u);
    return {po_export(c, items(c), what), update_summary(c, po, what)};
}

}  // namespace he::tool
