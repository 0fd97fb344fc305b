// The import plan (import.h).
#include "import.h"

#include <map>
#include <optional>
#include <set>

#include "arguments.h"
#include "check.h"
#include "checkout.h"
#include "files.h"
#include "reading.h"
#include "rules.h"
#include "table_files.h"

namespace he::tool {
namespace {

// The entry a unit names, or null with a finding: a unit without msgctxt,
// one that names no entry, or a second unit of one entry.
const Entry* entry_of(const PoUnit& unit, const std::map<std::string_view, const Entry*>& entries,
                      std::set<std::string>& seen, ImportPlan& plan) {
    const std::string where = "line " + std::to_string(unit.line);
    if (unit.context.empty()) {
        plan.findings.push_back({where, "a unit without msgctxt; every unit names its entry in msgctxt"});
        return nullptr;
    }
    const auto it = entries.find(unit.context);
    if (it == entries.end()) {
        plan.findings.push_back({unit.context, "no such entry in the catalogue (" + where + ")"});
        return nullptr;
    }
    if (!seen.insert(unit.context).second) {
        plan.findings.push_back({unit.context, "appears twice in the file (" + where + ")"});
        return nullptr;
    }
    return it->second;
}

// The reading `e` had when the file was exported, quoted, from the commit the
// file records where the repository at `root` still has it.
std::string reading_at_export(const PoFile& po, const std::string& root, const Entry& e, const std::string& base) {
    const auto file = file_at_commit(root, po.commit, e.file);
    const auto then = file ? row_text(*file, e.name) : std::nullopt;
    if (!then || base_digest(reading_of(*then, is_template(e.name))) != base) return "unknown (not in the repository's history)";
    return std::string(1, '"').append(reading_of(*then, is_template(e.name))).append(1, '"');
}

// Three ways: the text at export (the unit's digest), the table's now, the
// file's. True where the file's text is to be taken: changed in the file
// only, or in both with --prefer-file; else a note or a finding says why not.
bool file_side_taken(const PoUnit& unit, const Entry& e, const std::string& now, const PoFile& po, const std::string& root,
                     const ImportOptions& options, ImportPlan& plan) {
    if (unit.base.empty()) return true;
    if (base_digest(unit.msgstr) == unit.base) {
        plan.notes.push_back({unit.context, "changed in the tables since the export, not in the file: the table's text kept"});
        return false;
    }
    if (base_digest(now) == unit.base) return true;
    if (options.prefer_file) {
        plan.notes.push_back({unit.context, "changed in the file and in the tables: the file's text taken (--prefer-file)"});
        return true;
    }
    plan.findings.push_back({unit.context, "changed both in the file and in the tables since the export: at export " +
                                               reading_at_export(po, root, e, unit.base) + ", now \"" + now +
                                               "\", in the file \"" + unit.msgstr +
                                               "\"; keep one (--prefer-file takes the file's)"});
    return false;
}

// The stored text a translated unit gives its entry, or nothing where it
// changes nothing or is refused (with a finding).
std::optional<std::string> new_text(const PoUnit& unit, const Entry& e, const PoFile& po, const std::string& root,
                                    const ImportOptions& options, ImportPlan& plan) {
    const bool templated = is_template(e.name);
    const std::string current = to_utf8(e.text);
    const std::string now = reading_of(current, templated);
    if (canonical(unit.msgstr) == canonical(now) || !file_side_taken(unit, e, now, po, root, options, plan))
        return std::nullopt;
    if (const auto r = rules::first_refused(unit.msgstr); r.found) {
        rules::Message m;
        rules::describe(m << "holds ", r.code_point) << " at character " << r.position
            << "; a text may carry only Hebrew letters without points or marks, printable ASCII, the degree sign"
               " and line breaks";
        plan.findings.push_back({unit.context, std::string(m.view())});
        return std::nullopt;
    }
    auto stored = stored_of(unit.msgstr, templated, current);
    if (!stored) {
        plan.findings.push_back({unit.context, "no stored text reads as \"" + unit.msgstr +
                                                   "\" in the editor's left-to-right controls; check the "
                                                   "order of marks, Latin words and placeholders"});
        return std::nullopt;
    }
    if (!e.open && !options.change_quoted) {
        plan.findings.push_back({unit.context, "quoted from the editor's own catalogue; --change-quoted changes it"});
        return std::nullopt;
    }
    if (!e.open) plan.notes.push_back({unit.context, "quoted text changed (--change-quoted)"});
    return stored;
}

// The new UTF-8 text of each entry the file changes, by its place in the tables.
std::map<std::size_t, std::string> changes(const PoFile& po, const std::string& root, const ImportOptions& options,
                                           ImportPlan& plan) {
    const auto tables = table_entries();
    std::map<std::string_view, const Entry*> entries;
    for (const auto& e : tables) entries[e.name] = &e;
    std::map<std::size_t, std::string> changed;
    std::set<std::string> seen;
    for (const auto& unit : po.units) {
        ++plan.units;
        const Entry* e = entry_of(unit, entries, seen, plan);
        if (e == nullptr) continue;
        if (e->text.empty()) {  // empty by rule: nothing to translate
            if (!unit.msgstr.empty())
                plan.findings.push_back({unit.context, "the editor takes this text empty; it has nothing to translate (line " +
                                                           std::to_string(unit.line) + ")"});
        } else if (unit.fuzzy || unit.msgstr.empty()) {
            plan.skipped.push_back({unit.context, unit.fuzzy ? "fuzzy: skipped" : "not translated: skipped"});
        } else if (auto text = new_text(unit, *e, po, root, options, plan)) {
            changed[static_cast<std::size_t>(e - tables.data())] = std::move(*text);
        }
    }
    return changed;
}

// The new contents of the files the changed rows stand in: their tables,
// and tests/data/texts.txt for quoted texts.
void rewrite_files(const std::vector<Entry>& rows, const std::map<std::size_t, std::string>& changed,
                   const std::string& root, ImportPlan& plan) {
    std::map<std::string, std::string> files;
    const auto file = [&](const std::string& path) -> std::string* {
        if (auto it = files.find(path); it != files.end()) return &it->second;
        auto content = read_file(root + "/" + path);
        if (!content) {
            plan.findings.push_back({path, "cannot be read; run hecat import from the repository's top folder"});
            return nullptr;
        }
        return &(files[path] = std::move(*content));
    };
    for (const auto& [i, text] : changed) {
        const Entry& e = rows[i];
        std::string* table = file(std::string(e.file));
        if (table && !rewrite_row(*table, e.name, text))
            plan.findings.push_back({std::string(e.name), "its row was not found in " + std::string(e.file)});
        if (e.open) continue;
        std::string* expected = file("tests/data/texts.txt");
        if (expected && !rewrite_expected(*expected, e.name, text))
            plan.findings.push_back({std::string(e.name), "its line was not found in tests/data/texts.txt"});
    }
    if (plan.findings.empty())
        for (auto& [path, content] : files) plan.files.push_back({root + "/" + path, std::move(content)});
}

}  // namespace

ImportPlan plan_import(const PoFile& po, const std::string& root, const ImportOptions& options) {
    ImportPlan plan;
    for (const auto& e : po.errors) plan.findings.push_back({"", e});
    plan.unlisted = po.unkept_errors;
    if (po.exported_units != 0 && po.units.size() < po.exported_units)
        plan.findings.push_back({"", "the file holds " + std::to_string(po.units.size()) + " units of the " +
                                         std::to_string(po.exported_units) + " it was exported with: it may have been cut short"});
    const auto changed = changes(po, root, options, plan);
    // Every rule of the build, on the catalogue as it would be.
    const auto tables = table_entries();
    std::vector<Entry> rows(tables.begin(), tables.end());
    std::vector<std::string> cp1255;
    cp1255.reserve(changed.size());
    for (const auto& [i, text] : changed) {
        rows[i].utf8 = text;
        rows[i].text = cp1255.emplace_back(to_cp1255(text));
    }
    // Advice stops no build: said of the texts the file changes, as a note.
    std::set<std::string_view> names;
    for (const auto& [i, text] : changed) names.insert(rows[i].name);
    for (const auto& f : check(identity_entries(), rows, catalogue_order())) {
        if (!f.advice) plan.findings.push_back({f.name, f.message});
        else if (names.count(f.name)) plan.notes.push_back({f.name, "warning: " + f.message});
    }
    plan.changed = changed.size();
    if (plan.findings.empty() && !changed.empty()) rewrite_files(rows, changed, root, plan);
    return plan;
}

}  // namespace he::tool
