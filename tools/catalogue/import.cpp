// The import plan and the update of an old file (import.h).
#include "import.h"

#include <sys/stat.h>

#include <algorithm>
#include <map>
#include <optional>
#include <set>

#include "arguments.h"
#include "bases.h"
#include "check.h"
#include "checkout.h"
#include "files.h"
#include "reading.h"
#include "rules.h"
#include "table_files.h"

namespace he::tool {
namespace {

std::string quote(std::string_view s) { return std::string(1, '"').append(s).append(1, '"'); }

std::string where(const PoFile& po, const PoUnit& u) {
    return u.line == 0 ? po.path : po.path + ":" + std::to_string(u.line);
}

std::map<std::string_view, const Entry*> entries_by_name() {
    std::map<std::string_view, const Entry*> entries;
    for (const auto& e : table_entries()) entries[e.name] = &e;
    return entries;
}

// The entry a unit names, or null with a finding: a unit without msgctxt,
// one that names no entry, or a second unit of one entry.
const Entry* entry_of(const PoFile& po, const PoUnit& unit, const std::map<std::string_view, const Entry*>& entries,
                      std::set<std::string>& seen, ImportPlan& plan) {
    if (unit.context.empty()) {
        plan.findings.push_back({"", "a unit without msgctxt; every unit names its entry in msgctxt", where(po, unit)});
        return nullptr;
    }
    const auto it = entries.find(unit.context);
    if (it == entries.end()) {
        plan.findings.push_back({unit.context, "no such entry in the catalogue", where(po, unit)});
        return nullptr;
    }
    if (!seen.insert(unit.context).second) {
        plan.findings.push_back({unit.context, "appears twice in the file", where(po, unit)});
        return nullptr;
    }
    return it->second;
}

// How many arguments the editor passes to the entry's template ("%%" takes none).
std::size_t arguments_passed(std::string_view name) {
    std::size_t n = 0;
    write_specifiers(arguments_of(name), [&](std::string_view s) { n += s.starts_with('%') && s != "%%" ? 1 : 0; });
    return n;
}

// Whether a template's numbered arguments are those the editor passes: each
// specifier but "%%" numbered, the numbers 1 to `count`, each once; or none
// numbered.
bool numbers_fit(std::string_view text, std::size_t count) {
    std::vector<unsigned> numbers;
    std::size_t plain = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') continue;
        const Specifier s = specifier_at(text, i);
        if (s.length == 0) continue;
        if (s.conversion != "%") s.argument != 0 ? numbers.push_back(s.argument) : static_cast<void>(++plain);
        i += s.length - 1;
    }
    std::sort(numbers.begin(), numbers.end());
    for (std::size_t k = 0; k < numbers.size(); ++k)
        if (numbers[k] != k + 1) return false;
    return numbers.empty() || (plain == 0 && numbers.size() == count);
}

// The rules that cost nothing, on the text as typed, before anything that
// costs more: the characters, the length against the family's limit, an
// ellipsis at either end, and the specifiers and their numbers.
bool passes_cheap_rules(const PoFile& po, const PoUnit& unit, const Entry& e, ImportPlan& plan) {
    rules::Message m;
    if (const auto r = rules::first_refused(unit.msgstr); r.found) {
        rules::describe(m << "holds ", r.code_point) << " at character " << r.position
            << "; a text may carry only Hebrew letters without points or marks, printable ASCII, the degree sign"
               " and line breaks";
    } else {
        // Every character left has one byte in the module's encoding.
        const std::size_t bytes = to_cp1255(unit.msgstr).size();
        const Family f = family_of(e);
        if (bytes > f.longest) {
            if (f.shortest == 0) rules::describe_bytes(m << "is " << bytes << " bytes; " << rules::article(f.noun) << f.noun << " is ", f);
            else rules::describe_bytes(m << rules::article(f.noun) << f.noun << " is ", f) << "; this one is " << bytes;
        } else if (unit.msgstr.ends_with("...") || unit.msgstr.starts_with("...")) {
            // As typed, whatever the text's order of runs when stored.
            m << (unit.msgstr.ends_with("...") ? "ends in" : "begins with") << " an ellipsis" << rules::kAsRead;
        } else if (const std::string found = specifiers_of(unit.msgstr);
                   is_template(e.name) && found.find("%?") != std::string::npos) {
            // A % that starts no specifier the editor fills, as typed.
            m << "has the specifiers \"" << found << "\" where the editor passes \"" << arguments_of(e.name) << "\", in that order";
        } else if (is_template(e.name) && !numbers_fit(unit.msgstr, arguments_passed(e.name))) {
            const std::size_t n = arguments_passed(e.name);
            m << "has the specifiers \"" << found << "\" where the editor passes \"" << arguments_of(e.name)
              << "\": ";
            if (n == 1) m << "its one argument, where numbered, is %1$";
            else m << "numbered, each of its " << n << " arguments takes one of the numbers 1 to " << n << " and every specifier is numbered";
        }
    }
    if (m.size == 0) return true;
    plan.findings.push_back({unit.context, std::string(m.view()), where(po, unit)});
    return false;
}

// Three ways: the text at export (the unit's record), the table's now, the
// file's. True where the file's text is to be taken: changed in the file
// only, or in both with --prefer-file; else a note or a finding says why not.
bool file_side_taken(const PoFile& po, const PoUnit& unit, const Entry& e, const std::string& now, Bases& bases,
                     const ImportOptions& options, ImportPlan& plan) {
    const Changed changed = changed_since_export(unit.msgstr, now, bases.of(unit, e));
    switch (changed) {
        case Changed::neither:
        case Changed::file:
            return true;
        case Changed::unknown:
            // A file with no record at all imports as files did before
            // records; one unit that lost its record in a file that has them
            // could undo a change made to the tables since.
            if (!bases.recorded()) return true;
            break;
        case Changed::tables:
            plan.notes.push_back({unit.context, "changed in the tables since the export, not in the file: the table's text kept", where(po, unit)});
            return false;
        case Changed::both:
            break;
    }
    if (options.prefer_file || options.prefer_tables) {
        const std::string what = changed == Changed::unknown ? "no record of its text at export" : "changed in the file and in the tables";
        plan.notes.push_back({unit.context, what + (options.prefer_file ? ": the file's text taken (--prefer-file)"
                                                                        : ": the table's text kept (--prefer-tables)"),
                              where(po, unit)});
        return options.prefer_file;
    }
    if (changed == Changed::unknown) {
        plan.findings.push_back({unit.context, "has no record of the text it was exported from (its hecat-base comment is gone), "
                                               "so the file's change cannot be told from one made to the tables since: now " +
                                                   quote(now) + ", in the file " + quote(unit.msgstr) +
                                                   "; keep one (--prefer-file takes the file's, --prefer-tables the table's)",
                                 where(po, unit)});
        return false;
    }
    const auto then = bases.reading(unit, e);
    plan.findings.push_back({unit.context, "changed both in the file and in the tables since the export: at export " +
                                               (then ? quote(*then) : "unknown (not in the repository's history)") +
                                               ", now " + quote(now) + ", in the file " + quote(unit.msgstr) +
                                               "; keep one (--prefer-file takes the file's, --prefer-tables the table's)",
                             where(po, unit)});
    return false;
}

// The stored text a translated unit gives its entry, or nothing where it
// changes nothing or is refused (with a finding).
std::optional<std::string> new_text(const PoFile& po, const PoUnit& unit, const Entry& e, Bases& bases,
                                    const ImportOptions& options, ImportPlan& plan) {
    const bool templated = is_template(e.name);
    const std::string current = to_utf8(e.text);
    const std::string now = reading_of(current, templated);
    if (!passes_cheap_rules(po, unit, e, plan)) return std::nullopt;
    if (canonical(unit.msgstr) == canonical(now) || !file_side_taken(po, unit, e, now, bases, options, plan))
        return std::nullopt;
    auto stored = stored_of(unit.msgstr, templated, current);
    if (!stored) {
        plan.findings.push_back({unit.context, "no stored text reads as " + quote(unit.msgstr) +
                                                   " in the editor's left-to-right controls; check the "
                                                   "order of marks, Latin words and placeholders",
                                 where(po, unit)});
        return std::nullopt;
    }
    if (!e.open && !options.change_quoted) {
        plan.findings.push_back({unit.context, "quoted from the editor's own catalogue; --change-quoted changes it", where(po, unit)});
        return std::nullopt;
    }
    if (!e.open) plan.notes.push_back({unit.context, "quoted text changed (--change-quoted)", where(po, unit)});
    plan.changes.push_back({unit.context, quote(now) + " becomes " + quote(unit.msgstr), where(po, unit)});
    return stored;
}

// Entries whose units the file lacks: named, unless the file is a subset on
// purpose. A unit made obsolete (#~) whose entry the tables hold is named as
// such; units of entries the tables no longer hold are passed over.
void missing_units(const PoFile& po, const std::set<std::string>& seen, const ImportOptions& options, ImportPlan& plan) {
    std::size_t missing = 0;
    const auto entries = entries_by_name();
    std::set<std::string> named;
    for (const auto& u : po.obsolete) {
        const auto it = entries.find(u.context);
        if (it == entries.end() || !has_unit(*it->second) || seen.count(u.context) || !named.insert(u.context).second) continue;
        ++missing;
        if (!options.partial)
            plan.findings.push_back({u.context, "its unit is obsolete (#~) in the file, so its text is not read: remove the #~ "
                                                "to import it, or import with --partial to leave the entry as it is",
                                     where(po, u)});
    }
    const bool short_of_export = po.exported_units != 0 && po.units.size() < po.exported_units;
    for (const auto& e : table_entries()) {
        if (!has_unit(e) || seen.count(std::string(e.name)) || named.count(std::string(e.name))) continue;
        ++missing;
        if (short_of_export && !options.partial)
            plan.findings.push_back({std::string(e.name), "has no unit in the file, which holds " + std::to_string(po.units.size()) +
                                                              (po.units.size() == 1 ? " unit" : " units") + " of the " +
                                                              std::to_string(po.exported_units) +
                                                              " it was exported with (cut short, or a subset: --partial imports a subset)",
                                     po.path});
    }
    if (options.partial && missing != 0)
        plan.notes.push_back({"", std::to_string(missing) + " entries have no unit in the file: left as they are (--partial)", po.path});
}

// The new UTF-8 text of each entry the file changes, by its place in the tables.
std::map<std::size_t, std::string> changes(const PoFile& po, const std::string& root, const ImportOptions& options,
                                           ImportPlan& plan, std::set<std::string>& seen) {
    const auto tables = table_entries();
    const auto entries = entries_by_name();
    Bases bases(po, root);
    std::map<std::size_t, std::string> changed;
    for (const auto& unit : po.units) {
        ++plan.units;
        const Entry* e = entry_of(po, unit, entries, seen, plan);
        if (e == nullptr) continue;
        std::string msgid = unit.msgid;  // line breaks as the tables write them
        std::replace(msgid.begin(), msgid.end(), '\n', '\r');
        if (const std::string english(split_gloss(*e).first); !msgid.empty() && msgid != english)
            plan.notes.push_back({unit.context, "its msgid, the English, is " + quote(unit.msgid) + " where the tables say " +
                                                    quote(english) + ": the import changes the Hebrew alone",
                                  where(po, unit)});
        if (unit.plural) continue;  // refused as it was read
        if (e->text.empty()) {  // empty by rule: nothing to translate
            if (!unit.msgstr.empty())
                plan.findings.push_back({unit.context, "the editor takes this text empty; it has nothing to translate", where(po, unit)});
        } else if (unit.fuzzy || unit.msgstr.empty()) {
            plan.skipped.push_back({unit.context, unit.fuzzy ? "fuzzy: skipped" : "not translated: skipped", where(po, unit)});
        } else if (auto text = new_text(po, unit, *e, bases, options, plan)) {
            changed[static_cast<std::size_t>(e - tables.data())] = std::move(*text);
        }
    }
    missing_units(po, seen, options, plan);
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
            plan.findings.push_back({path, "cannot be read; run hecat import from the repository's top folder", ""});
            return nullptr;
        }
        return &(files[path] = std::move(*content));
    };
    for (const auto& [i, text] : changed) {
        const Entry& e = rows[i];
        std::string* table = file(std::string(e.file));
        if (table && !rewrite_row(*table, e.name, text))
            plan.findings.push_back({std::string(e.name), "its row was not found in " + std::string(e.file), ""});
        if (e.open) continue;
        std::string* expected = file("tests/data/texts.txt");
        if (expected && !rewrite_expected(*expected, e.name, text))
            plan.findings.push_back({std::string(e.name), "its line was not found in tests/data/texts.txt", ""});
    }
    if (plan.findings.empty())
        for (auto& [path, content] : files) plan.files.push_back({root + "/" + path, std::move(content)});
}

// Each unit of the file as it stands against `rows`, the tables as they are
// or will be: the state `updated_po` and a refreshed file write. `settled`
// names units whose conflict the import settled for the tables.
std::map<std::string, UnitState, std::less<>> unit_states(const PoFile& po, const std::string& root, std::span<const Entry> rows,
                                                          bool after_import, const std::set<std::string>& settled) {
    std::map<std::string_view, const Entry*> entries;
    for (const auto& e : rows) entries[e.name] = &e;
    const auto before = entries_by_name();
    Bases bases(po, root);
    std::map<std::string, UnitState, std::less<>> states;
    for (const auto& u : po.units) {
        const auto it = entries.find(u.context);
        if (it == entries.end() || !has_unit(*it->second) || states.count(u.context)) continue;
        const Entry& e = *it->second;
        const std::string today = reading_of(e.utf8, is_template(e.name));
        UnitState s{u.msgstr, base_digest(today), u.fuzzy, {}, {}, u.comments};
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
            s.fuzzy = true;
            if (const auto then = bases.reading(u, was)) s.previous = *then;
            const std::string shown = visible(today);  // a comment line ends at a line break
            s.note = (changed == Changed::both ? "Changed in the tables since this file was made" : "No record of the text this file was made from") +
                     std::string(": the tables now read \"") + shown +
                     "\". This file's text is kept and marked fuzzy: settle it, then remove the fuzzy mark.";
        }
        states[u.context] = std::move(s);
    }
    return states;
}

// Every rule of the build on the catalogue as the import would leave it
// (`rows`, with the file's texts in); a finding on a text the file changes
// names the unit's line in the file.
void check_rows(const PoFile& po, const std::vector<Entry>& rows, const std::map<std::size_t, std::string>& changed,
                ImportPlan& plan) {
    std::map<std::string_view, std::string> changed_where;
    for (const auto& [i, text] : changed)
        for (const auto& u : po.units)
            if (u.context == rows[i].name) changed_where[rows[i].name] = where(po, u);
    // The texts of a shared group changed in the file, by group: a member the
    // file leaves as it was is reported at the one changed, as the
    // translator sees it.
    std::map<int, std::vector<std::string_view>> changed_in_group;
    for (const auto& [name, at] : changed_where)
        if (const int g = rules::group_of(name); g >= 0) changed_in_group[g].push_back(name);
    std::set<std::string> group_said;
    for (const auto& f : check(identity_entries(), rows, catalogue_order())) {
        const auto w = changed_where.find(f.name);
        const int g = rules::group_of(f.name);
        if (w == changed_where.end() && changed_in_group.count(g) && f.message.starts_with("must read the same as")) {
            for (const auto changed_name : changed_in_group[g])
                if (group_said.insert(std::string(changed_name)).second)
                    plan.findings.push_back({std::string(changed_name),
                                             "changed alone: it must read the same as " + shared_with(changed_name) +
                                                 " (its unit's comment says so): change them together",
                                             changed_where[changed_name]});
            continue;
        }
        const std::string at = w == changed_where.end() ? f.where : w->second;
        // Advice stops no build: said of the texts the file changes, as a note.
        if (!f.advice) plan.findings.push_back({f.name, f.message, at});
        else if (w != changed_where.end()) plan.notes.push_back({f.name, "warning: " + f.message, at});
    }
}

// The file itself, brought up to the tables as the import leaves them
// (`rows`): written with them, unless it is no regular file.
void refresh_file(const PoFile& po, const std::string& root, const std::vector<Entry>& rows, const ImportOptions& options,
                  ImportPlan& plan) {
    std::set<std::string> settled;
    if (options.prefer_tables)
        for (const auto& n : plan.notes)
            if (n.message.ends_with("(--prefer-tables)")) settled.insert(n.name);
    const bool dated = records_commit(po);
    PoExport refreshed{false, dated ? HE_REVISION : "", dated ? head_commit(root) : "", unit_states(po, root, rows, true, settled),
                       po.obsolete, {}};
    // The units of the file, carrying today's comments and the texts the
    // import changes.
    std::vector<Item> present;
    for (const auto& item : items())
        for (const auto& e : rows)
            if (refreshed.states.count(item.entry->name) && e.name == item.entry->name) present.push_back({&e, item.ordinal});
    const std::string content = po_export(present, refreshed);
    struct stat st {};
    if (content == po.text) return;
    if (::stat(po.path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        plan.po_not_refreshed = po.path + ": not a regular file, so not brought up to the tables: export a fresh file before editing further";
    else
        plan.files.push_back({po.path, content});
}

}  // namespace

ImportPlan plan_import(const PoFile& po, const std::string& root, const ImportOptions& options) {
    ImportPlan plan;
    for (const auto& e : po.errors) plan.findings.push_back({"", e, ""});
    plan.unlisted = po.unkept_errors;
    std::set<std::string> seen;
    const auto changed = changes(po, root, options, plan, seen);
    const auto tables = table_entries();
    std::vector<Entry> rows(tables.begin(), tables.end());
    std::vector<std::string> cp1255;
    cp1255.reserve(changed.size());
    for (const auto& [i, text] : changed) {
        rows[i].utf8 = text;
        rows[i].text = cp1255.emplace_back(to_cp1255(text));
    }
    check_rows(po, rows, changed, plan);
    plan.changed = changed.size();
    if (!plan.findings.empty()) return plan;
    if (!changed.empty()) rewrite_files(rows, changed, root, plan);
    refresh_file(po, root, rows, options, plan);
    return plan;
}

std::string updated_po(const PoFile& po, const std::string& root, const std::string& commit) {
    const auto tables = table_entries();
    const bool dated = records_commit(po);
    PoExport what{false, dated ? HE_REVISION : "", dated ? commit : "", unit_states(po, root, tables, false, {}), po.obsolete, {}};
    const auto entries = entries_by_name();
    for (const auto& u : po.units)
        if (!entries.count(u.context) || !has_unit(*entries.at(u.context))) what.obsolete.push_back(u);
    return po_export(items(), what);
}

}  // namespace he::tool
