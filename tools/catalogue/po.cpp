#include "po.h"

#include <gettext-po.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "cp1255.h"
#include "render.h"
#include "rules.h"

namespace he::tool {
namespace {

// The catalogue's specifiers: "%d", "%s", "%f", "%.2f"; "%%" takes no argument.
constexpr std::string_view kConversions[] = {"d", "s", "f", ".2f"};

// A template is read as the editor shows it filled: a number where it passes
// a number, a word where it passes a text. Each specifier becomes a token
// that the bidirectional layout treats as it treats such a value and that
// names its argument k: "%9k9" (digits: a number; "%d%%" reads as "42%"
// does) for "%d", "%f" and "%.2f", and "%" with the k-th capital letter (a
// Latin word, as a file name is) for "%s".
struct Tagged {
    std::string text;
    std::vector<std::string> conversions;  // of argument k + 1
};

// The specifier that starts at text[i] == '%': its argument number (0 for a
// plain one), its conversion and its length; length 0 when none starts there.
struct Specifier {
    int argument = 0;
    std::string conversion;
    std::size_t length = 0;
};

Specifier specifier_at(std::string_view text, std::size_t i) {
    std::size_t j = i + 1;
    int k = 0;
    while (j < text.size() && text[j] >= '0' && text[j] <= '9') k = k * 10 + (text[j++] - '0');
    if (j > i + 1 && (j >= text.size() || text[j] != '$')) return {};
    const bool positional = j > i + 1;
    if (positional) ++j;
    for (const auto c : kConversions)
        if (text.substr(j).starts_with(c)) return {positional ? k : 0, std::string(c), j + c.size() - i};
    return {};
}

// The text with its specifiers as letters; positional ones keep their
// numbers, plain ones are numbered in the order they stand.
std::optional<Tagged> tag(std::string_view text) {
    Tagged out;
    int next = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out.text += text[i];
            continue;
        }
        if (i + 1 < text.size() && text[i + 1] == '%') {
            out.text += "%%", ++i;
            continue;
        }
        const Specifier s = specifier_at(text, i);
        if (s.length == 0) {
            out.text += text[i];
            continue;
        }
        const int k = s.argument ? s.argument : ++next;
        if (k < 1 || k > 9) return std::nullopt;
        const auto slot = static_cast<std::size_t>(k - 1);
        if (out.conversions.size() <= slot) out.conversions.resize(slot + 1);
        if (!out.conversions[slot].empty() && out.conversions[slot] != s.conversion) return std::nullopt;
        out.conversions[slot] = s.conversion;
        out.text += s.conversion == "s" ? std::string("%") + static_cast<char>('A' + k - 1)
                                        : std::string("%9") + static_cast<char>('0' + k) + "9";
        i += s.length - 1;
    }
    return out;
}

// The letters back as specifiers, plain or positional; `in_order` tells
// whether the arguments stand in the order the editor passes them.
std::string untag(std::string_view text, const std::vector<std::string>& conversions, bool positional, bool& in_order) {
    std::string out;
    std::size_t expected = 1;
    in_order = true;
    for (std::size_t i = 0; i < text.size(); ++i) {
        out += text[i];
        if (text[i] != '%') continue;
        if (i + 1 < text.size() && text[i + 1] == '%') {
            out += '%', ++i;
            continue;
        }
        std::size_t k = 0, j = i + 1;
        if (j < text.size() && text[j] >= 'A' && text[j] <= 'Z') {
            k = static_cast<std::size_t>(text[j] - 'A' + 1);
        } else if (j + 2 < text.size() && text[j] == '9' && text[j + 1] >= '1' && text[j + 1] <= '9' && text[j + 2] == '9') {
            k = static_cast<std::size_t>(text[j + 1] - '0');
            j += 2;
        } else {
            continue;
        }
        if (k != expected++) in_order = false;
        const std::string conversion = k <= conversions.size() ? conversions[k - 1] : "?";
        out.resize(out.size() - 1);
        out += positional ? "%" + std::to_string(k) + "$" + conversion : "%" + conversion;
        i = j;
    }
    return out;
}

// A reading with its specifiers written plain when they stand in argument order.
std::string canonical(std::string_view reading) {
    const auto tagged = tag(reading);
    if (!tagged) return std::string(reading);
    bool in_order = true;
    const std::string plain = untag(tagged->text, tagged->conversions, false, in_order);
    return in_order ? plain : std::string(reading);
}

bool valid_utf8(std::string_view s) {
    for (std::size_t i = 0; i < s.size();) {
        const auto b = static_cast<unsigned char>(s[i]);
        const std::size_t n = b < 0x80 ? 1 : (b & 0xE0) == 0xC0 ? 2 : (b & 0xF0) == 0xE0 ? 3 : (b & 0xF8) == 0xF0 ? 4 : 0;
        if (n == 0 || i + n > s.size()) return false;
        for (std::size_t k = 1; k < n; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
        i += n;
    }
    return true;
}

// UTF-8 to the module's Windows-1255 bytes; a character it may not carry
// becomes '?' (the rules report it from the UTF-8).
std::string to_cp1255(std::string_view utf8) {
    std::string out;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto step = cp1255::decode_one(utf8, i);
        out += step.byte < 0 ? '?' : static_cast<char>(step.byte);
        i += step.width;
    }
    return out;
}

std::string po_string(std::string_view s) {
    std::string out = "\"";
    for (const char c : s) {
        switch (c) {
            case '\\': out += "\\\\"; break;
            case '"': out += "\\\""; break;
            case '\r': out += "\\r"; break;
            case '\n': out += "\\n"; break;
            case '\t': out += "\\t"; break;
            default: out += c;
        }
    }
    return out + "\"";
}

// A text as the tables write it: a C string literal per line, CR as \r.
std::string c_literal(std::string_view s) {
    std::string out = "\"";
    for (const char c : s) {
        if (c == '\\') out += "\\\\";
        else if (c == '"') out += "\\\"";
        else if (c == '\r') out += "\\r";
        else out += c;
    }
    return out + "\"";
}

std::string describe_place(const Entry& e, const std::map<std::string_view, std::string>& menu_paths) {
    const std::string_view f = e.family;
    if (f == "menus") {
        const auto it = menu_paths.find(e.name);
        return "Menu caption" + (it == menu_paths.end() ? std::string() : ", " + it->second);
    }
    if (f == "labels") return "Label in a dialog";
    if (f == "templates") return "Value read-out: the editor fills the placeholders";
    if (f == "messages") return "Message box";
    if (f == "buttons") return "Button caption";
    if (f == "status") return "Status bar";
    if (f == "hints") return "Tool hint";
    if (f == "printing") return "Print dialog";
    if (f == "plugins") return "Plug-ins bar";
    if (f == "months") return "Month name";
    return "Shared dialogs: file dialogs, answers, key names and size units";
}

std::string describe_rules(const Entry& e, bool field_caption) {
    const std::string_view f = e.family;
    std::string out;
    if (f == "menus") {
        out = "1 to 26 bytes (a Hebrew letter is one byte)";
        if (e.open) out += "; Hebrew letters and single blanks only";
    } else if (f == "labels") {
        out = "1 to 33 bytes";
        out += field_caption ? "; the caption and a colon after it, no other colon" : "; no colon first, no closing mark";
    } else {
        out = "at most 129 bytes";
    }
    if (rules::is_template(e.name)) out += "; keep every placeholder";
    if (f == "templates" || f == "messages") out += "; lines break with \\r";
    return out + "; no ellipsis, no &";
}

}  // namespace

std::string reading_of(std::string_view stored, bool is_template) {
    const auto tagged = is_template ? tag(stored) : std::nullopt;
    if (!tagged) return per_line(stored, reading_order);
    const std::string reading = per_line(tagged->text, reading_order);
    bool in_order = true;
    const std::string plain = untag(reading, tagged->conversions, false, in_order);
    return in_order ? plain : untag(reading, tagged->conversions, true, in_order);
}

namespace {

bool is_hebrew_at(std::string_view s, std::size_t i) {
    return i + 1 < s.size() && static_cast<unsigned char>(s[i]) == 0xD7 && static_cast<unsigned char>(s[i + 1]) >= 0x90 &&
           static_cast<unsigned char>(s[i + 1]) <= 0xAA;
}

// The line with the last k things a reader meets after its last Hebrew
// letter (marks, numbers, Latin words, placeholders) moved to its start, in
// the reverse order and with brackets turned: how the tables store such a
// line. One form for each k, fewest first.
std::vector<std::string> moved_to_start(std::string_view line) {
    std::size_t end = std::string_view::npos;
    for (std::size_t i = 0; i + 1 < line.size(); ++i)
        if (is_hebrew_at(line, i)) end = i + 2;
    if (end == std::string_view::npos || end == line.size()) return {};
    const std::string_view tail = line.substr(end);
    std::vector<std::string> tokens;  // with the blanks before each
    std::vector<bool> blank_before;
    for (std::size_t i = 0; i < tail.size();) {
        const bool blank = tail[i] == ' ';
        while (i < tail.size() && tail[i] == ' ') ++i;
        const std::size_t start = i;
        while (i < tail.size() && tail[i] != ' ') ++i;
        if (i == start) break;
        std::string token(tail.substr(start, i - start));
        for (auto& c : token) c = c == '(' ? ')' : c == ')' ? '(' : c == '<' ? '>' : c == '>' ? '<' : c;
        tokens.push_back(token);
        blank_before.push_back(blank);
    }
    std::vector<std::string> out;
    for (std::size_t k = 1; k <= tokens.size(); ++k) {
        const std::size_t keep = tokens.size() - k;
        std::string moved;
        for (std::size_t t = tokens.size(); t-- > keep;) moved += (moved.empty() ? "" : " ") + tokens[t];
        // What stays keeps its own brackets as they were.
        std::string stays(line.substr(0, end));
        std::size_t pos = end;
        for (std::size_t t = 0; t < keep; ++t) {
            const auto start = line.find_first_not_of(' ', pos);
            const auto stop = line.find(' ', start);
            stays += std::string(line.substr(pos, (stop == std::string_view::npos ? line.size() : stop) - pos));
            pos = stop == std::string_view::npos ? line.size() : stop;
        }
        out.push_back(moved + (blank_before[keep] ? " " : "") + stays);
    }
    return out;
}

// True when the argument tokens of a line stand in increasing order.
bool increasing(std::string_view line) {
    std::vector<std::string> none(9);
    bool ignored = true;
    char last = 0;
    const std::string positional = untag(line, none, true, ignored);
    for (std::size_t i = 0; i + 1 < positional.size(); ++i) {
        if (positional[i] != '%' || positional[i + 1] < '1' || positional[i + 1] > '9') continue;
        if (positional[i + 1] <= last) return false;
        last = positional[i + 1];
    }
    return true;
}

// How many blank-separated things stand before the line's first Hebrew letter.
std::size_t lead(std::string_view line) {
    std::size_t n = 0;
    for (std::size_t i = 0; i < line.size() && !is_hebrew_at(line, i); ++i)
        if (line[i] != ' ' && (i == 0 || line[i - 1] == ' ')) ++n;
    return n;
}

// The stored line whose reading is `line`, among the forms the tables use.
// Several stored lines can read alike ("8 צבעים" and "צבעים 8" show the same
// in a left-to-right control): the one shaped like the line it replaces (as
// many things before its first Hebrew letter) comes first, then the tables'
// own form, what the reader meets last stored first.
std::optional<std::string> stored_line(std::string_view line, std::string_view was) {
    std::optional<std::string> first;
    std::vector<std::string> candidates = moved_to_start(line);
    candidates.push_back(reading_order(line));
    candidates.push_back(std::string(line));
    for (const auto& candidate : candidates) {
        // The editor fills the arguments in the order they are stored.
        if (!increasing(candidate) || reading_order(candidate) != line) continue;
        if (lead(candidate) == lead(was)) return candidate;
        if (!first) first = candidate;
    }
    return first;
}

}  // namespace

std::optional<std::string> stored_of(std::string_view reading, bool is_template, std::string_view was) {
    const auto tagged = is_template ? tag(reading) : std::nullopt;
    if (is_template && !tagged) return std::nullopt;
    const std::string text = tagged ? tagged->text : std::string(reading);
    const auto was_tagged = is_template ? tag(was) : std::nullopt;
    const std::string previous = was_tagged ? was_tagged->text : std::string(was);
    std::string candidate;
    for (std::size_t start = 0, old = 0;;) {
        const auto cr = text.find('\r', start);
        const auto old_cr = old == std::string::npos ? old : previous.find('\r', old);
        const std::string_view was_line = old == std::string::npos ? std::string_view() : std::string_view(previous).substr(old, old_cr - old);
        old = old_cr == std::string::npos ? old_cr : old_cr + 1;
        const auto line = stored_line(std::string_view(text).substr(start, cr - start), was_line);
        if (!line) return std::nullopt;
        candidate += *line;
        if (cr == std::string::npos) break;
        candidate += '\r';
        start = cr + 1;
    }
    if (tagged) {
        bool in_order = true;
        candidate = untag(candidate, tagged->conversions, false, in_order);
        if (!in_order) return std::nullopt;
    }
    if (canonical(reading_of(candidate, is_template)) != canonical(reading)) return std::nullopt;
    return candidate;
}

std::string po_export(const std::vector<Item>& items, std::string_view revision) {
    std::map<std::string_view, std::string> menu_paths;
    for (const auto& menu : menu_tree()) {
        const std::string top = std::string(menu.entry->gloss) + " menu";
        for (const auto& item : menu.items) {
            menu_paths[item.entry->name] = top;
            for (const auto& sub : item.items) menu_paths[sub.entry->name] = top + " > " + std::string(item.entry->gloss);
        }
        menu_paths[menu.entry->name] = "opens the " + top;
    }
    const auto fields = rules::field_captions(catalogue_order());
    std::string out =
        "# Hebrew texts of DLLTranslation_HE, the Hebrew language module of the Imbrosia image editor.\n"
        "# Copyright (c) 2026 the DLLTranslation_HE contributors. MIT licence.\n"
        "#\n"
        "# Each text is written as a Hebrew reader reads it. The module stores it for the editor's\n"
        "# left-to-right controls; hecat import turns it back. Import with: hecat import FILE.po\n"
        "msgid \"\"\n"
        "msgstr \"\"\n"
        "\"Project-Id-Version: DLLTranslation_HE 1.0\\n\"\n"
        "\"Report-Msgid-Bugs-To: \\n\"\n"
        "\"POT-Creation-Date: " + std::string(revision) + "\\n\"\n"
        "\"PO-Revision-Date: " + std::string(revision) + "\\n\"\n"
        "\"Last-Translator: DLLTranslation_HE contributors\\n\"\n"
        "\"Language-Team: Hebrew\\n\"\n"
        "\"Language: he\\n\"\n"
        "\"MIME-Version: 1.0\\n\"\n"
        "\"Content-Type: text/plain; charset=UTF-8\\n\"\n"
        "\"Content-Transfer-Encoding: 8bit\\n\"\n"
        "\"X-Generator: hecat\\n\"\n";
    for (const auto& item : items) {
        const Entry& e = *item.entry;
        if (e.family == "identity") continue;  // values the editor reads, not wording
        const bool is_template = rules::is_template(e.name);
        const bool field = std::find(fields.begin(), fields.end(), e.name) != fields.end();
        out += "\n#. " + describe_place(e, menu_paths) + ".\n";
        out += "#. " + describe_rules(e, field) + ".\n";
        out += e.open ? "#. Written for this module.\n"
                      : "#. Quoted from the editor's own catalogue: change it only deliberately.\n";
        out += "#: " + std::string(e.file) + ":" + std::to_string(e.line) + "\n";
        if (is_template) out += "#, c-format\n";
        out += "msgctxt " + po_string(e.name) + "\n";
        out += "msgid " + po_string(e.gloss) + "\n";
        out += "msgstr " + po_string(reading_of(to_utf8(e.text), is_template)) + "\n";
    }
    return out;
}

namespace {

std::vector<std::string>* g_read_errors = nullptr;

void on_error(int severity, po_message_t unit, const char* filename, std::size_t lineno, std::size_t, int,
              const char* text) {
    if (severity == PO_SEVERITY_WARNING) return;
    std::string where = filename ? std::string(filename) : std::string("the PO file");
    if (unit != nullptr && po_message_msgctxt(unit) != nullptr)
        where = std::string(po_message_msgctxt(unit)) + ": " + where;
    if (filename && lineno != static_cast<std::size_t>(-1)) where += ":" + std::to_string(lineno);
    std::string message = where + ": " + text;
    while (!message.empty() && message.back() == '\n') message.pop_back();
    if (severity == PO_SEVERITY_FATAL_ERROR) {
        // Nothing has been written when a file is read: stop here.
        std::fprintf(stderr, "hecat: %s\n", message.c_str());
        std::exit(2);
    }
    g_read_errors->push_back(message);
}

void on_error2(int severity, po_message_t m1, const char* f1, std::size_t l1, std::size_t c1, int ml1, const char* t1,
               po_message_t m2, const char*, std::size_t l2, std::size_t, int, const char* t2) {
    std::string text = std::string(t1) + " (" + t2;
    if (l2 != 0 && l2 != static_cast<std::size_t>(-1)) text += " at line " + std::to_string(l2);
    text += ")";
    on_error(severity, m1 ? m1 : m2, f1, l1, c1, ml1, text.c_str());
}

}  // namespace

PoFile po_read(const std::string& path) {
    PoFile out;
    g_read_errors = &out.errors;
    const po_xerror_handler handler{on_error, on_error2};
    po_file_t file = po_file_read(path.c_str(), &handler);
    if (file == nullptr) {
        if (out.errors.empty()) out.errors.push_back(path + ": cannot be read as a PO file");
        return out;
    }
    // The header comes as a copy of its own, as each of its fields does.
    if (char* header = const_cast<char*>(po_file_domain_header(file, nullptr))) {
        if (char* type = po_header_field(header, "Content-Type")) {
            const std::string t(type);
            std::free(type);
            if (t.find("charset=UTF-8") == std::string::npos && t.find("charset=utf-8") == std::string::npos)
                out.errors.push_back(path + ": the file is not in UTF-8 (" + t + "); save it as UTF-8");
        }
        std::free(header);
    }
    po_message_iterator_t it = po_message_iterator(file, nullptr);
    while (po_message_t m = po_next_message(it)) {
        if (po_message_is_obsolete(m)) continue;
        const char* msgid = po_message_msgid(m);
        const char* context = po_message_msgctxt(m);
        if (context == nullptr && msgid[0] == '\0') continue;  // the header
        PoUnit unit{context ? context : "", msgid, po_message_msgstr(m), po_message_is_fuzzy(m) != 0, 0};
        if (po_filepos_t pos = po_message_filepos(m, 0)) unit.line = po_filepos_start_line(pos);
        if (!valid_utf8(unit.msgstr) || !valid_utf8(unit.context))
            out.errors.push_back(path + ": " + unit.context + ": the text is not valid UTF-8; save the file as UTF-8");
        out.units.push_back(std::move(unit));
    }
    po_message_iterator_free(it);
    po_file_free(file);
    g_read_errors = nullptr;
    return out;
}

namespace {

std::string read_file(const std::string& path, bool& ok) {
    std::ifstream in(path, std::ios::binary);
    ok = static_cast<bool>(in);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// Replaces the text of `name`'s row in a table file, keeping its layout: one
// literal on one line, or one literal per text line where the row had them.
bool rewrite_row(std::string& file, std::string_view name, std::string_view text) {
    std::size_t at = std::string::npos;
    for (const char* kind : {"FIXED(", "OPEN("}) {
        const std::string head = std::string(kind) + std::string(name) + ",";
        for (std::size_t p = file.find(head); p != std::string::npos; p = file.find(head, p + 1))
            if (p == 0 || file[p - 1] == '\n') at = p + head.size();
    }
    if (at == std::string::npos) return false;
    std::size_t first = at;
    while (first < file.size() && (file[first] == ' ' || file[first] == '\n')) ++first;
    std::size_t end = first;
    while (end < file.size() && file[end] == '"') {  // adjacent literals make the text
        for (++end; end < file.size() && file[end] != '"'; ++end)
            if (file[end] == '\\') ++end;
        ++end;
        std::size_t next = end;
        while (next < file.size() && (file[next] == ' ' || file[next] == '\n')) ++next;
        if (next < file.size() && file[next] == '"') end = next;
        else break;
    }
    if (end == first) return false;
    std::string literal;
    const bool multiline = text.find('\r') != std::string_view::npos && file.substr(at, first - at).find('\n') != std::string::npos;
    if (multiline) {
        const std::string indent = file.substr(file.rfind('\n', first) + 1, first - file.rfind('\n', first) - 1);
        for (std::size_t start = 0;;) {
            const auto cr = text.find('\r', start);
            literal += c_literal(text.substr(start, cr == std::string_view::npos ? cr : cr + 1 - start));
            if (cr == std::string_view::npos) break;
            literal += "\n" + indent;
            start = cr + 1;
        }
    } else {
        literal = c_literal(text);
    }
    file.replace(first, end - first, literal);
    return true;
}

bool rewrite_expected(std::string& file, std::string_view name, std::string_view text) {
    const std::string head = std::string(name) + " ";
    for (std::size_t p = file.find(head); p != std::string::npos; p = file.find(head, p + 1)) {
        if (p != 0 && file[p - 1] != '\n') continue;
        const auto eol = file.find('\n', p);
        file.replace(p, eol - p, head + c_literal(text));
        return true;
    }
    return false;
}

}  // namespace

ImportPlan plan_import(const PoFile& po, const std::string& root) {
    ImportPlan plan;
    for (const auto& e : po.errors) plan.findings.push_back({"", e});
    std::map<std::string_view, std::size_t> index;
    const auto tables = table_entries();
    for (std::size_t i = 0; i < tables.size(); ++i) index[tables[i].name] = i;

    // The catalogue as it would be, and the new UTF-8 text of each changed row.
    std::vector<Entry> rows(tables.begin(), tables.end());
    std::map<std::size_t, std::pair<std::string, std::string>> changed;  // index -> (utf8, cp1255)
    std::set<std::string> seen;
    for (const auto& unit : po.units) {
        ++plan.units;
        const std::string where = "line " + std::to_string(unit.line);
        if (unit.context.empty()) {
            plan.findings.push_back({where, "a unit without msgctxt; every unit names its entry in msgctxt"});
            continue;
        }
        const auto it = index.find(unit.context);
        if (it == index.end()) {
            plan.findings.push_back({unit.context, "no such entry in the catalogue (" + where + ")"});
            continue;
        }
        if (!seen.insert(unit.context).second) {
            plan.findings.push_back({unit.context, "appears twice in the file (" + where + ")"});
            continue;
        }
        if (unit.fuzzy || unit.msgstr.empty()) {
            plan.skipped.push_back({unit.context, unit.fuzzy ? "fuzzy: skipped" : "not translated: skipped"});
            continue;
        }
        const Entry& e = tables[it->second];
        const bool is_template = rules::is_template(e.name);
        const std::string current = to_utf8(e.text);
        if (canonical(unit.msgstr) == canonical(reading_of(current, is_template))) continue;
        if (const auto r = rules::first_refused(unit.msgstr); r.found) {
            rules::Message m;
            describe(m << "holds ", r.code_point) << " at character " << r.position
                << "; a text may carry only Hebrew letters without points or marks, printable ASCII, the degree sign"
                   " and line breaks";
            plan.findings.push_back({unit.context, std::string(m.view())});
            continue;
        }
        const auto stored = stored_of(unit.msgstr, is_template, current);
        if (!stored) {
            plan.findings.push_back({unit.context, "no stored text reads as \"" + unit.msgstr +
                                                       "\" in the editor's left-to-right controls; check the "
                                                       "order of marks, Latin words and placeholders"});
            continue;
        }
        changed[it->second] = {*stored, to_cp1255(*stored)};
    }
    for (auto& [i, texts] : changed) {
        rows[i].utf8 = texts.first;
        rows[i].text = texts.second;
    }
    // Every rule of the build, on the catalogue as it would be.
    const auto report = [&](const Entry& e, const rules::Message& m) {
        plan.findings.push_back({std::string(e.name), std::string(m.view())});
    };
    const auto fields = rules::field_captions(catalogue_order());
    for (const auto& [i, texts] : changed)
        rules::check_entry(rows[i], std::find(fields.begin(), fields.end(), rows[i].name) != fields.end(), report);
    rules::check_catalogue(identity_entries(), rows, catalogue_order(), report);
    plan.changed = changed.size();
    if (!plan.findings.empty() || changed.empty()) return plan;

    std::map<std::string, std::string> files;
    const auto file = [&](const std::string& path) -> std::string* {
        if (auto it = files.find(path); it != files.end()) return &it->second;
        bool ok = false;
        std::string content = read_file(root + "/" + path, ok);
        if (!ok) {
            plan.findings.push_back({path, "cannot be read; run hecat import from the repository's top folder"});
            return nullptr;
        }
        return &(files[path] = std::move(content));
    };
    for (const auto& [i, texts] : changed) {
        const Entry& e = rows[i];
        std::string* table = file(std::string(e.file));
        if (table && !rewrite_row(*table, e.name, texts.first))
            plan.findings.push_back({std::string(e.name), "its row was not found in " + std::string(e.file)});
        if (e.open) continue;
        std::string* expected = file("tests/data/texts.txt");
        if (expected && !rewrite_expected(*expected, e.name, texts.first))
            plan.findings.push_back({std::string(e.name), "its line was not found in tests/data/texts.txt"});
    }
    if (plan.findings.empty())
        for (auto& [path, content] : files) plan.files.push_back({root + "/" + path, std::move(content)});
    return plan;
}

}  // namespace he::tool
