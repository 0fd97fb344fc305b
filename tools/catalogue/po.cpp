// The PO format written: the catalogue as a PO file or its template, each
// unit with its record, its place and its rules (po.h).
#include "po.h"

#include <gettext-po.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <optional>
#include <map>

#include "arguments.h"
#include "files.h"
#include "reading.h"
#include "rules.h"
#include "wording.h"

namespace he::tool {
namespace {

// A PO string: the module's line break as PO writes one.
std::string po_string(std::string_view s) {
    return quoted(s, {{'\\', "\\\\"}, {'"', "\\\""}, {'\r', "\\n"}, {'\t', "\\t"}});
}

// Where the editor shows the entry, for the translator: its control, and a
// menu caption's place in the menus.
std::string describe_place(const Entry& e, const std::map<std::string_view, std::string>& menu_paths) {
    const auto it = menu_paths.find(e.name);
    return std::string(family_of(e).shown_in) + (it == menu_paths.end() ? std::string() : ", " + it->second);
}

// The rules of the entry's text, as its family and the rules of every text say.
std::string describe_rules(const Entry& e, bool field_caption) {
    const Family f = family_of(e);
    rules::Message bytes;
    std::string out = std::string(rules::describe_bytes(bytes, f).view()) + " (a Hebrew letter is one byte)";
    if (!e.quoted && f.wording != Wording::any) out += "; " + std::string(rules::describe_wording(f.wording));
    if (f.ends == Ends::bare)
        out += field_caption ? "; the caption and a colon after it, no other colon" : "; no colon first, no closing mark";
    if (!f.degree_sign) out += "; no degree sign";
    if (is_template(e.name)) out += "; keep every placeholder";
    if (f.line_breaks) out += "; lines break with \\n";
    return out + "; no ellipsis, no &";
}

// Where each menu caption stands: "File menu", "File menu > Import", "opens the File menu".
std::map<std::string_view, std::string> menu_paths(std::span<const Entry> rows) {
    std::map<std::string_view, std::string> paths;
    for (const auto& menu : menu_tree(rows)) {
        const std::string top = std::string(split_gloss(*menu.entry).first) + " menu";
        for (const auto& item : menu.items) {
            paths[item.entry->name] = top;
            for (const auto& sub : item.items)
                paths[sub.entry->name] = top + " > " + std::string(split_gloss(*item.entry).first);
        }
        paths[menu.entry->name] = "opens the " + top;
    }
    return paths;
}

// The header hecat writes where the file it brings up to the tables has none.
PoHeader default_header(const PoExport& what) {
    PoHeader h;
    h.comments = {"Hebrew texts of DLLTranslation_HE, the Hebrew language module of the Imbrosia image editor.",
                  "Copyright (c) 2026 the DLLTranslation_HE contributors. MIT licence.",
                  "",
                  "Each text is written as a Hebrew reader reads it. The module stores it for the editor's",
                  "left-to-right controls; hecat import turns it back. Import with: hecat import FILE.po",
                  "Each unit's \"hecat-base\" comment records the text it was exported with: keep it, so that",
                  "the import can tell your changes from changes made to the tables since."};
    if (what.pot) h.comments.push_back("The template: refresh a translation with msgmerge, pot2po or your tool's \"Update from POT\".");
    h.fields = {"Project-Id-Version: DLLTranslation_HE " HE_VERSION, "Report-Msgid-Bugs-To: ", "POT-Creation-Date: ",
                "PO-Revision-Date: " + (what.pot ? std::string("YEAR-MO-DA HO:MI+ZONE") : what.revised),
                "Last-Translator: DLLTranslation_HE contributors", "Language-Team: Hebrew", "Language: he",
                "MIME-Version: 1.0", "Content-Type: text/plain; charset=UTF-8", "Content-Transfer-Encoding: 8bit",
                "X-Generator: hecat"};
    return h;
}

// The fields that are hecat's own, as it sets them now: its X-Hecat-*
// fields, and those gettext gives the template and msgmerge takes from it
// over the translation's (Report-Msgid-Bugs-To, POT-Creation-Date). Every
// other field is the translator's, their tool's or their platform's.
std::vector<std::pair<std::string, std::string>> own_fields(const PoExport& what, std::size_t units) {
    std::vector<std::pair<std::string, std::string>> own{{"Report-Msgid-Bugs-To", ""}, {"POT-Creation-Date", what.revision}};
    // A template holds no text to record: were it to name a commit, the
    // tools that take a template's header would put it over the file's.
    if (!what.commit.empty() && !what.pot) own.emplace_back("X-Hecat-Commit", what.commit);
    if (!what.tables.empty()) own.emplace_back("X-Hecat-Tables", what.tables);
    own.emplace_back("X-Hecat-Units", std::to_string(units));
    return own;
}

// A header field as PO writes it: one string, ending in its line break.
std::string field_line(std::string_view field) {
    std::string out = po_string(field);
    return out.insert(out.size() - 1, "\\n") + "\n";
}

// The header: the file's own (or hecat's), each field kept in its place but
// hecat's own, which take their values now; an X-Hecat-* field hecat does
// not set now is dropped, and its fields the header lacks come last.
std::string header(const PoExport& what, std::size_t units) {
    const PoHeader h = what.header ? *what.header : default_header(what);
    auto own = own_fields(what, units);
    std::string out;
    for (const auto& c : h.comments) out += c.empty() ? "#\n" : "# " + visible(c) + "\n";
    if (h.fuzzy) out += "#, fuzzy\n";
    out += "msgid \"\"\nmsgstr \"\"\n";
    for (const auto& field : h.fields) {
        const std::string_view name = std::string_view(field).substr(0, field.find(':'));
        const auto it = std::find_if(own.begin(), own.end(), [&](const auto& f) { return f.first == name; });
        if (it != own.end()) {
            out += field_line(it->first + ": " + it->second);
            own.erase(it);
        } else if (!name.starts_with("X-Hecat-")) {
            out += field_line(field);
        }
    }
    for (const auto& [name, value] : own) out += field_line(name + ": " + value);
    return out;
}

// The record of the text a unit is exported with, and of the commit of the
// tables where there is one: each unit carries it, as a template refresh may
// replace the header.
std::string record_line(std::string_view digest, std::string_view commit) {
    std::string out = "# hecat-base: ";
    out.append(digest);
    if (!commit.empty() && commit != "unknown") out.append(" ").append(commit);
    return out + "\n";
}

// A translator's comment line as PO writes it.
std::string comment_line(std::string_view text) {
    std::string out = text.empty() ? "#" : "# ";
    out.append(visible(text));
    out += '\n';
    return out;
}

std::string unit(const Entry& e, const std::map<std::string_view, std::string>& menu_paths, bool field_caption,
                 const PoExport& what) {
    const bool templated = is_template(e.name);
    const std::string reading = reading_of(to_utf8(e.text), templated);
    const auto state = what.states.find(e.name);
    const UnitState* s = state == what.states.end() ? nullptr : &state->second;
    std::string out = "\n";
    // The record goes with the msgstr: tools that refresh a file keep a unit's
    // translator comments with its translation.
    if (s) {
        for (const auto& c : s->comments) out += comment_line(c);
        if (!s->base.empty()) out += record_line(s->base, what.commit);
        if (s->fuzzy && !s->was.empty()) out += "# hecat-was: " + po_string(s->was) + "\n";
    } else if (!what.pot) {
        out += record_line(base_digest(reading), what.commit);
    }
    // A comment for the translator ends at its line: a line break in what it
    // quotes is shown as a mark.
    const auto extracted = [&out](const std::string& text) { out += "#. " + visible(text) + "\n"; };
    extracted(describe_place(e, menu_paths) + ".");
    extracted(describe_rules(e, field_caption) + ".");
    extracted(e.quoted ? "Quoted from the editor's own catalogue: change it only deliberately (hecat import --change-quoted)."
                       : "Written for this module.");
    if (reading.front() == ' ' || reading.back() == ' ')
        extracted(std::string("The blank at the ") + (reading.front() == ' ' ? "start" : "end") +
                  " is deliberate: the editor's own text has it.");
    if (const std::string shared = shared_with(e.name); !shared.empty())
        extracted("Must read the same as " + shared + ": change them together.");
    // The English goes to msgid, where a translator's tool expects the source
    // text, its explanation to a comment.
    const auto [english, note] = split_gloss(e);
    if (!note.empty()) extracted("Meaning: " + std::string(note) + ".");
    if (s && !s->note.empty()) extracted(s->note);
    out += "#: " + std::string(e.file) + ":" + std::to_string(e.line) + "\n";
    if (templated || (s && s->fuzzy))
        out += std::string("#, ") + (s && s->fuzzy ? "fuzzy" : "") + (s && s->fuzzy && templated ? ", " : "") +
               (templated ? "c-format" : "") + "\n";
    if (s && s->fuzzy && !s->previous.empty())
        out += "#| msgctxt " + po_string(s->previous_context.empty() ? e.name : s->previous_context) + "\n#| msgid " +
               po_string(s->previous) + "\n";
    out += "msgctxt " + po_string(e.name) + "\n";
    out += "msgid " + po_string(english) + "\n";
    return out + "msgstr " + po_string(what.pot ? std::string() : s ? s->msgstr : reading) + "\n";
}

// A unit of an entry the tables no longer hold, as msgmerge keeps one.
std::string obsolete_unit(const PoUnit& u) {
    std::string out = "\n";
    for (const auto& c : u.comments) out += comment_line(c);
    if (!u.context.empty()) out += "#~ msgctxt " + po_string(u.context) + "\n";
    return out + "#~ msgid " + po_string(u.msgid) + "\n#~ msgstr " + po_string(u.msgstr) + "\n";
}

}  // namespace

std::string base_digest(std::string_view reading) {
    char out[17];
    std::snprintf(out, sizeof out, "%016llx", static_cast<unsigned long long>(rules::hash(canonical(reading))));
    return out;
}

std::string po_date_now() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    char out[32] = "";
    if (::localtime_r(&now, &local) != nullptr) std::strftime(out, sizeof out, "%Y-%m-%d %H:%M%z", &local);
    return out;
}

bool has_unit(const Entry& e) { return family_of(e).control != Control::none && !e.text.empty(); }

std::string shared_with(std::string_view name) {
    const int group = rules::group_of(name);
    if (group < 0) return {};
    std::string out;
    rules::each_in_group(group, [&](std::string_view other) {
        if (other != name) out += (out.empty() ? "" : ", ") + std::string(other);
    });
    return out;
}

bool records_commit(const PoFile& po) {
    return !po.commit.empty() || std::any_of(po.units.begin(), po.units.end(), [](const PoUnit& u) {
        return std::any_of(u.bases.begin(), u.bases.end(), [](const BaseRecord& r) { return !r.commit.empty(); });
    });
}

std::string po_export(const Catalogue& c, const std::vector<Item>& items, const PoExport& what) {
    std::size_t units = 0;
    for (const auto& item : items) units += has_unit(*item.entry) ? 1 : 0;
    std::string out = header(what, units);
    const auto paths = menu_paths(c.rows);
    const auto& fields = c.fields;
    for (const auto& item : items)
        if (has_unit(*item.entry))
            out += unit(*item.entry, paths, std::find(fields.begin(), fields.end(), item.entry->name) != fields.end(), what);
    for (const auto& u : what.obsolete) out += obsolete_unit(u);
    return out;
}

}  // namespace he::tool
