// The import plan (import.h).
#include "import.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <optional>
#include <set>

#include "arguments.h"
#include "bases.h"
#include "check.h"
#include "checkout.h"
#include "reading.h"
#include "rules.h"
#include "table_text.h"
#include "update.h"

namespace he::tool {
namespace {

std::string quote(std::string_view s) { return quoted(s, {}); }

std::string where(const PoFile& po, const PoUnit& u) {
    return u.line == 0 ? po.path : po.path + ":" + std::to_string(u.line);
}

// The entry a unit names, or null with a finding: a unit without msgctxt,
// one that names no entry, or a second unit of one entry.
const Entry* entry_of(const PoFile& po, const PoUnit& unit, const std::map<std::string_view, const Entry*>& entries,
                      std::map<std::string, std::string>& seen, ImportPlan& plan) {
    if (unit.context.empty()) {
        plan.findings.push_back({"", "a unit without msgctxt; every unit names its entry in msgctxt", where(po, unit)});
        return nullptr;
    }
    const auto it = entries.find(unit.context);
    if (it == entries.end()) {
        plan.findings.push_back({unit.context, "no such entry in the catalogue", where(po, unit)});
        return nullptr;
    }
    if (const auto [first, added] = seen.emplace(unit.context, where(po, unit)); !added) {
        plan.findings.push_back({unit.context, "appears twice in the file, first at " + first->second, where(po, unit)});
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

// The specifiers of a text as typed, blank-separated: a % that starts none
// of the catalogue's kinds shown with what follows it as far as a printf
// specifier reaches ("%5d", "%ld", "%99999999999$d"), as the translator
// wrote it.
std::string typed_specifiers(std::string_view text) {
    const auto run = [&](std::size_t at, std::string_view of) {
        while (at < text.size() && of.find(text[at]) != std::string_view::npos) ++at;
        return at;
    };
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') continue;
        std::size_t end = i + specifier_at(text, i).length;
        if (end == i) {
            end = run(run(i + 1, "0123456789$.-+#'"), "hlLqjzt");
            if (end < text.size() && std::isalpha(static_cast<unsigned char>(text[end]))) ++end;
        }
        out.append(out.empty() ? "" : " ").append(text.substr(i, end - i));
        i = end - 1;
    }
    return out;
}

// The kinds of a text's specifiers ("%", "d", "s", "f", ".2f"), sorted:
// those of a template must be those the editor passes, whatever their order.
std::vector<std::string_view> specifier_kinds(std::string_view text) {
    std::vector<std::string_view> kinds;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') continue;
        const Specifier s = specifier_at(text, i);
        if (s.length == 0) continue;
        kinds.push_back(s.conversion);
        i += s.length - 1;
    }
    std::sort(kinds.begin(), kinds.end());
    return kinds;
}

// The first byte of the character at `position` (1-based, in characters) of a text.
unsigned byte_at_character(std::string_view text, std::size_t position) {
    std::size_t i = 0;
    for (std::size_t k = 1; k < position && i < text.size(); ++k) i += std::max<std::size_t>(1, cp1255::utf8_char(text, i).width);
    return i < text.size() ? static_cast<unsigned char>(text[i]) : 0u;
}

// The rules that cost nothing, on the text as typed, before anything that
// costs more: the characters, the length against the family's limit, an
// ellipsis at either end, and the specifiers and their numbers.
bool passes_cheap_rules(const PoFile& po, const PoUnit& unit, const Entry& e, ImportPlan& plan) {
    rules::Message m;
    if (const auto r = rules::first_refused(unit.msgstr); r.found && r.malformed) {
        // An escape such as \327 gives a byte alone, which is no character: it is named as the byte.
        char hex[8];
        std::snprintf(hex, sizeof hex, "0x%02X", byte_at_character(unit.msgstr, r.position));
        m << "holds the byte " << std::string_view(hex) << " that is not UTF-8 at character " << r.position << "; save it as UTF-8";
    } else if (r.found) {
        rules::describe_refused(m, r, "\\n");
    } else {
        // Every character left has one byte in the module's encoding.
        const std::size_t bytes = to_cp1255(unit.msgstr).size();
        if (const Family f = family_of(e); bytes > f.longest) {
            rules::describe_length(m, bytes, f);
        } else if (unit.msgstr.ends_with("...") || unit.msgstr.starts_with("...")) {
            // As typed, whatever the text's order of runs when stored.
            rules::describe_ellipsis(m, unit.msgstr.ends_with("..."));
        } else if (const std::string found = typed_specifiers(unit.msgstr);
                   is_template(e.name) && specifiers_of(unit.msgstr).find("%?") != std::string::npos) {
            // A % that starts no specifier the editor fills, as typed.
            m << "has the specifiers \"" << found << "\" where the editor passes \"" << arguments_of(e.name) << "\", in that order";
        } else if (is_template(e.name) && specifier_kinds(unit.msgstr) != specifier_kinds(arguments_of(e.name))) {
            m << "has the specifiers \"" << found << "\" where the editor passes \"" << arguments_of(e.name) << "\"";
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
            // records (its texts the tables' history holds are no change of
            // the file's: Bases::of); one unit that lost its record in a file
            // that has them could undo a change made to the tables since.
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
    if (e.quoted && !options.change_quoted) {
        plan.findings.push_back({unit.context, "quoted from the editor's own catalogue; --change-quoted changes it", where(po, unit)});
        return std::nullopt;
    }
    if (e.quoted) plan.notes.push_back({unit.context, "quoted text changed (--change-quoted)", where(po, unit)});
    plan.changes.push_back({unit.context, quote(now) + " becomes " + quote(unit.msgstr), where(po, unit)});
    return stored;
}

// Entries whose units the file lacks: named, unless the file is a subset on
// purpose. A unit made obsolete (#~) whose entry the tables hold is named as
// such; units of entries the tables no longer hold are passed over.
void missing_units(const Catalogue& c, const PoFile& po, const std::map<std::string, std::string>& seen,
                   const ImportOptions& options, ImportPlan& plan) {
    std::size_t missing = 0;
    const auto entries = rows_by_name(c);
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
    for (const auto& e : c.rows) {
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
std::map<std::size_t, std::string> changes(const Catalogue& c, const PoFile& po, Bases& bases, const ImportOptions& options,
                                           ImportPlan& plan, std::map<std::string, std::string>& seen) {
    const auto entries = rows_by_name(c);
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
            changed[static_cast<std::size_t>(e - c.rows.data())] = std::move(*text);
        }
    }
    missing_units(c, po, seen, options, plan);
    return changed;
}

// The new contents of the files the changed rows stand in: their tables,
// and tests/data/texts.txt for quoted texts, each as the catalogue `c` read
// it (the import checks, before it writes, that none has changed since).
void rewrite_files(const Catalogue& c, const std::vector<Entry>& rows, const std::map<std::size_t, std::string>& changed,
                   const std::string& root, ImportPlan& plan) {
    std::map<std::string, std::string> files;
    const auto file = [&](const std::string& path) -> std::string* {
        if (auto it = files.find(path); it != files.end()) return &it->second;
        const auto read = std::find_if(c.files.begin(), c.files.end(), [&](const auto& f) { return f.first == path; });
        if (read == c.files.end()) {
            plan.findings.push_back({path, "cannot be read", ""});
            return nullptr;
        }
        return &(files[path] = read->second);
    };
    for (const auto& [i, text] : changed) {
        const Entry& e = rows[i];
        std::string* table = file(std::string(e.file));
        if (table && !rewrite_row(*table, e.name, text))
            plan.findings.push_back({std::string(e.name), "its row was not found in " + std::string(e.file), ""});
        if (!e.quoted) continue;
        std::string* expected = file("tests/data/texts.txt");
        if (expected && !rewrite_expected(*expected, e.name, text))
            plan.findings.push_back({std::string(e.name), "its line was not found in tests/data/texts.txt", ""});
    }
    if (plan.findings.empty())
        for (auto& [path, content] : files) plan.files.push_back({root + "/" + path, std::move(content)});
}

// Every rule of the build on the catalogue `c` as the import would leave it
// (`rows`, with the file's texts in); a finding on a text the file changes
// names the unit's line in the file.
void check_rows(const Catalogue& c, const PoFile& po, const std::vector<Entry>& rows,
                const std::map<std::size_t, std::string>& changed, ImportPlan& plan) {
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
    for (const auto& f : check(c.identity, rows, c.order, c.fields)) {
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

// The file itself, brought up to the tables of `c` as the import leaves
// them (`rows`): written with them, unless it is no regular file.
void refresh_file(const Catalogue& c, const PoFile& po, const std::string& root, Bases& bases, const std::vector<Entry>& rows,
                  const ImportOptions& options, ImportPlan& plan) {
    std::set<std::string> settled;
    if (options.prefer_tables)
        for (const auto& n : plan.notes)
            if (n.message.ends_with("(--prefer-tables)")) settled.insert(n.name);
    const bool dated = records_commit(po);
    PoExport refreshed{.revision = dated ? HE_REVISION : "", .revised = dated ? po_date_now() : "", .commit = dated ? head_commit(root) : "",
                       .states = unit_states(c, po, bases, rows, true, settled), .obsolete = po.obsolete, .header = po.header};
    // The units of the file, carrying today's comments and the texts the
    // import changes.
    std::vector<Item> present;
    for (const auto& item : items(c))
        for (const auto& e : rows)
            if (refreshed.states.count(item.entry->name) && e.name == item.entry->name) present.push_back({&e, item.ordinal});
    const std::string content = po_export(c, present, refreshed);
    struct stat st {};
    if (content == po.text) return;
    if (::stat(po.path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        plan.po_not_refreshed = po.path + ": not a regular file, so not brought up to the tables: export a fresh file before editing further";
    else
        plan.files.push_back({po.path, content});
}

// A list in the order of the file's lines, as a translator goes through it:
// what concerns the file as a whole first, then each unit at its line, then
// what the tables' files say of rows the file leaves as they were.
void sort_by_line(const PoFile& po, std::vector<ImportFinding>& list) {
    const std::string prefix = po.path + ":";
    const auto key = [&](const ImportFinding& f) -> std::pair<int, unsigned long long> {
        if (f.where.empty() || f.where == po.path) return {0, 0};
        if (!f.where.starts_with(prefix)) return {2, 0};
        return {1, std::strtoull(f.where.c_str() + prefix.size(), nullptr, 10)};
    };
    std::stable_sort(list.begin(), list.end(), [&](const auto& a, const auto& b) { return key(a) < key(b); });
}

// An error of reading the file as a finding, at the line it names, so that
// it takes its place among the others.
ImportFinding read_error(const PoFile& po, const std::string& error) {
    const std::string prefix = po.path + ":";
    const std::size_t digits = error.starts_with(prefix) ? error.find_first_not_of("0123456789", prefix.size()) : 0;
    if (digits <= prefix.size() || digits == std::string::npos || error.compare(digits, 2, ": ") != 0) return {"", error, ""};
    return {"", error.substr(digits + 2), error.substr(0, digits)};
}

ImportPlan sorted(const PoFile& po, ImportPlan plan) {
    for (auto* list : {&plan.findings, &plan.skipped, &plan.notes, &plan.changes}) sort_by_line(po, *list);
    return plan;
}

}  // namespace

ImportPlan plan_import(const Catalogue& c, const PoFile& po, const std::string& root, const ImportOptions& options) {
    ImportPlan plan;
    for (const auto& e : po.errors) plan.findings.push_back(read_error(po, e));
    plan.unlisted = po.unkept_errors;
    std::map<std::string, std::string> seen;  // by entry, where its unit is
    // One reading of git's history for the import and the file it refreshes.
    Bases bases(c, po, root);
    const auto changed = changes(c, po, bases, options, plan, seen);
    std::vector<Entry> rows = c.rows;
    std::vector<std::string> cp1255;
    cp1255.reserve(changed.size());
    for (const auto& [i, text] : changed) {
        rows[i].utf8 = text;
        rows[i].text = cp1255.emplace_back(to_cp1255(text));
    }
    check_rows(c, po, rows, changed, plan);
    plan.changed = changed.size();
    if (!plan.findings.empty()) return sorted(po, std::move(plan));
    if (!changed.empty()) rewrite_files(c, rows, changed, root, plan);
    refresh_file(c, po, root, bases, rows, options, plan);
    return sorted(po, std::move(plan));
}

}  // namespace he::tool
