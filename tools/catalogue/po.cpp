#include "po.h"

#include <gettext-po.h>

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
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
            case '\r': out += "\\n"; break;  // the module's line break, as PO writes one
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
    if (f == "templates" || f == "messages") out += "; lines break with \\n";
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
    // The line as a right-to-left box shows it, taken back to the text a
    // left-to-right control shows alike.
    candidates.push_back(visual_order(visual_order(line, true), false));
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

std::string base_digest(std::string_view reading) {
    std::uint64_t h = 14695981039346656037ull;
    for (const char c : canonical(reading)) h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    char out[17];
    std::snprintf(out, sizeof out, "%016llx", static_cast<unsigned long long>(h));
    return out;
}

std::string po_export(const std::vector<Item>& items, std::string_view revision, std::string_view commit) {
    std::size_t units = 0;
    for (const auto& item : items)
        if (item.entry->family != "identity" && !item.entry->text.empty()) ++units;
    std::map<std::string_view, std::string> menu_paths;
    for (const auto& menu : menu_tree()) {
        const std::string top = std::string(split_gloss(*menu.entry).first) + " menu";
        for (const auto& item : menu.items) {
            menu_paths[item.entry->name] = top;
            for (const auto& sub : item.items)
                menu_paths[sub.entry->name] = top + " > " + std::string(split_gloss(*item.entry).first);
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
        "# Each unit's \"hecat-base\" comment records the text it was exported with: keep it, so that\n"
        "# the import can tell your changes from changes made to the tables since.\n"
        "msgid \"\"\n"
        "msgstr \"\"\n"
        "\"Project-Id-Version: DLLTranslation_HE " HE_VERSION "\\n\"\n"
        "\"Report-Msgid-Bugs-To: \\n\"\n"
        "\"POT-Creation-Date: " + std::string(revision) + "\\n\"\n"
        "\"PO-Revision-Date: " + std::string(revision) + "\\n\"\n"
        "\"Last-Translator: DLLTranslation_HE contributors\\n\"\n"
        "\"Language-Team: Hebrew\\n\"\n"
        "\"Language: he\\n\"\n"
        "\"MIME-Version: 1.0\\n\"\n"
        "\"Content-Type: text/plain; charset=UTF-8\\n\"\n"
        "\"Content-Transfer-Encoding: 8bit\\n\"\n"
        "\"X-Generator: hecat\\n\"\n"
        "\"X-Hecat-Commit: " + std::string(commit) + "\\n\"\n"
        "\"X-Hecat-Units: " + std::to_string(units) + "\\n\"\n";
    for (const auto& item : items) {
        const Entry& e = *item.entry;
        if (e.family == "identity") continue;  // values the editor reads, not wording
        if (e.text.empty()) continue;           // empty by rule: nothing to translate
        const bool is_template = rules::is_template(e.name);
        const std::string reading = reading_of(to_utf8(e.text), is_template);
        const bool field = std::find(fields.begin(), fields.end(), e.name) != fields.end();
        out += "\n#. " + describe_place(e, menu_paths) + ".\n";
        out += "#. " + describe_rules(e, field) + ".\n";
        out += e.open ? "#. Written for this module.\n"
                      : "#. Quoted from the editor's own catalogue: change it only deliberately"
                        " (hecat import --change-quoted).\n";
        if (reading.front() == ' ' || reading.back() == ' ')
            out += std::string("#. The blank at the ") + (reading.front() == ' ' ? "start" : "end") +
                   " is deliberate: the editor's own text has it.\n";
        const auto [english, note] = split_gloss(e);
        if (!note.empty()) out += "#. Meaning: " + std::string(note) + ".\n";
        out += "#. hecat-base: " + base_digest(reading) + "\n";
        out += "#: " + std::string(e.file) + ":" + std::to_string(e.line) + "\n";
        if (is_template) out += "#, c-format\n";
        out += "msgctxt " + po_string(e.name) + "\n";
        out += "msgid " + po_string(english) + "\n";
        out += "msgstr " + po_string(reading) + "\n";
    }
    return out;
}

namespace {

std::vector<std::string>* g_read_errors = nullptr;
std::size_t g_unkept_errors = 0;
constexpr std::size_t kKeptErrors = 100;

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
    // A binary or foreign file gives an error a line: the first ones say enough.
    if (g_read_errors->size() < kKeptErrors) g_read_errors->push_back(message);
    else ++g_unkept_errors;
}

void on_error2(int severity, po_message_t m1, const char* f1, std::size_t l1, std::size_t c1, int ml1, const char* t1,
               po_message_t m2, const char*, std::size_t l2, std::size_t, int, const char* t2) {
    std::string text = std::string(t1) + " (" + t2;
    if (l2 != 0 && l2 != static_cast<std::size_t>(-1)) text += " at line " + std::to_string(l2);
    text += ")";
    on_error(severity, m1 ? m1 : m2, f1, l1, c1, ml1, text.c_str());
}

}  // namespace

namespace {

std::string read_file(const std::string& path, bool& ok) {
    std::ifstream in(path, std::ios::binary);
    ok = static_cast<bool>(in);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// Escapes of the zero byte inside quoted strings ("\0", "\x00", "\000"):
// gettext keeps a text only up to its first zero byte, so such a text would
// be imported cut short without a word.
void find_zero_escapes(const std::string& raw, const std::string& path, std::vector<std::string>& errors) {
    std::size_t line = 1;
    bool quoted = false;
    for (std::size_t i = 0; i < raw.size(); ++i) {
        const char c = raw[i];
        if (c == '\n') {
            ++line, quoted = false;
        } else if (c == '"') {
            quoted = !quoted;
        } else if (c == '\\' && quoted && i + 1 < raw.size()) {
            const char k = raw[++i];
            std::size_t j = i + 1;
            unsigned value = 1;
            if (k >= '0' && k <= '7') {
                value = static_cast<unsigned>(k - '0');
                for (int n = 1; n < 3 && j < raw.size() && raw[j] >= '0' && raw[j] <= '7'; ++n, ++j)
                    value = value * 8 + static_cast<unsigned>(raw[j] - '0');
            } else if (k == 'x') {
                value = 0;
                bool any = false;
                for (; j < raw.size() && std::isxdigit(static_cast<unsigned char>(raw[j])); ++j, any = true)
                    value = value * 16 + static_cast<unsigned>(std::isdigit(static_cast<unsigned char>(raw[j]))
                                                                   ? raw[j] - '0'
                                                                   : (raw[j] | 0x20) - 'a' + 10);
                if (!any) value = 1;
            }
            if (value == 0)
                errors.push_back(path + ":" + std::to_string(line) +
                                 ": holds an escape of the zero byte (U+0000 NULL), which would end the text there;"
                                 " a text may not carry it");
        }
    }
}

std::string header_field(const char* header, const char* name) {
    char* value = po_header_field(header, name);
    if (value == nullptr) return {};
    std::string out(value);
    std::free(value);
    return out;
}

}  // namespace

PoFile po_read(const std::string& path) {
    PoFile out;
    bool readable = false;
    std::string raw = read_file(path, readable);
    if (!readable) {
        out.errors.push_back(path + ": cannot be read");
        return out;
    }
    // Windows editors start a UTF-8 file with a byte order mark; gettext does
    // not take one, so the file is read through a copy without it.
    std::string read_path = path;
    std::string copy;
    if (raw.starts_with("\xEF\xBB\xBF")) {
        raw.erase(0, 3);
        const char* tmpdir = std::getenv("TMPDIR");
        std::string name = std::string(tmpdir && *tmpdir ? tmpdir : "/tmp") + "/hecat-po-XXXXXX";
        const int fd = ::mkstemp(name.data());
        if (fd < 0 || ::write(fd, raw.data(), raw.size()) != static_cast<ssize_t>(raw.size())) {
            if (fd >= 0) ::close(fd), ::unlink(name.c_str());
            out.errors.push_back(path + ": cannot be read without its byte order mark");
            return out;
        }
        ::close(fd);
        read_path = copy = name;
    }
    find_zero_escapes(raw, path, out.errors);
    g_read_errors = &out.errors;
    g_unkept_errors = 0;
    const po_xerror_handler handler{on_error, on_error2};
    po_file_t file = po_file_read(read_path.c_str(), &handler);
    if (!copy.empty()) {
        ::unlink(copy.c_str());
        for (auto& e : out.errors)
            if (e.starts_with(copy)) e = path + e.substr(copy.size());
    }
    out.unkept_errors = g_unkept_errors;
    if (file == nullptr) {
        if (out.errors.empty()) out.errors.push_back(path + ": cannot be read as a PO file");
        return out;
    }
    // The header comes as a copy of its own, as each of its fields does.
    if (char* header = const_cast<char*>(po_file_domain_header(file, nullptr))) {
        const std::string t = header_field(header, "Content-Type");
        if (!t.empty() && t.find("charset=UTF-8") == std::string::npos && t.find("charset=utf-8") == std::string::npos)
            out.errors.push_back(path + ": the file is not in UTF-8 (" + t + "); save it as UTF-8");
        out.commit = header_field(header, "X-Hecat-Commit");
        out.exported_units = static_cast<std::size_t>(std::strtoul(header_field(header, "X-Hecat-Units").c_str(), nullptr, 10));
        std::free(header);
    }
    po_message_iterator_t it = po_message_iterator(file, nullptr);
    while (po_message_t m = po_next_message(it)) {
        if (po_message_is_obsolete(m)) continue;
        const char* msgid = po_message_msgid(m);
        const char* context = po_message_msgctxt(m);
        if (context == nullptr && msgid[0] == '\0') continue;  // the header
        PoUnit unit{context ? context : "", msgid, po_message_msgstr(m), {}, po_message_is_fuzzy(m) != 0, 0};
        // Line breaks: \n as translators' tools write them, \r as older exports did.
        std::string breaks;
        for (std::size_t i = 0; i < unit.msgstr.size(); ++i) {
            const char c = unit.msgstr[i];
            breaks += c == '\n' ? '\r' : c;
            if (c == '\r' && i + 1 < unit.msgstr.size() && unit.msgstr[i + 1] == '\n') ++i;
        }
        unit.msgstr = std::move(breaks);
        if (const char* comments = po_message_extracted_comments(m)) {
            const std::string_view c(comments);
            if (const auto at = c.find("hecat-base: "); at != std::string_view::npos) unit.base = c.substr(at + 12, 16);
        }
        if (po_filepos_t pos = po_message_filepos(m, 0)) unit.line = po_filepos_start_line(pos);
        if (!valid_utf8(unit.msgstr) || !valid_utf8(unit.context))
            out.errors.push_back(path + ": " + unit.context + ": the text is not valid UTF-8; save the file as UTF-8");
        out.units.push_back(std::move(unit));
    }
    po_message_iterator_free(it);
    po_file_free(file);
    g_read_errors = nullptr;
    if (out.units.empty() && out.errors.empty())
        out.errors.push_back(path + ": holds no unit; export one with hecat export --format po");
    return out;
}

namespace {

// Where the text of `name`'s row stands in a table file: from its first
// literal to the end of its last (adjacent literals make the text), and
// where the row's text begins after the name; nothing when no row names it.
struct RowSpan {
    std::size_t at = std::string::npos, first = 0, end = 0;
};

RowSpan find_row(const std::string& file, std::string_view name) {
    RowSpan r;
    for (const char* kind : {"FIXED(", "OPEN("}) {
        const std::string head = std::string(kind) + std::string(name) + ",";
        for (std::size_t p = file.find(head); p != std::string::npos; p = file.find(head, p + 1))
            if (p == 0 || file[p - 1] == '\n') r.at = p + head.size();
    }
    if (r.at == std::string::npos) return r;
    r.first = r.at;
    while (r.first < file.size() && (file[r.first] == ' ' || file[r.first] == '\n')) ++r.first;
    r.end = r.first;
    while (r.end < file.size() && file[r.end] == '"') {
        for (++r.end; r.end < file.size() && file[r.end] != '"'; ++r.end)
            if (file[r.end] == '\\') ++r.end;
        ++r.end;
        std::size_t next = r.end;
        while (next < file.size() && (file[next] == ' ' || file[next] == '\n')) ++next;
        if (next < file.size() && file[next] == '"') r.end = next;
        else break;
    }
    if (r.end == r.first) r.at = std::string::npos;
    return r;
}

// The UTF-8 text of `name`'s row, as the compiler reads its literals.
std::optional<std::string> row_text(const std::string& file, std::string_view name) {
    const RowSpan r = find_row(file, name);
    if (r.at == std::string::npos) return std::nullopt;
    std::string out;
    bool quoted = false;
    for (std::size_t i = r.first; i < r.end; ++i) {
        const char c = file[i];
        if (c == '"') {
            quoted = !quoted;
        } else if (quoted && c == '\\' && i + 1 < r.end) {
            const char k = file[++i];
            out += k == 'r' ? '\r' : k == 'n' ? '\n' : k == 't' ? '\t' : k;
        } else if (quoted) {
            out += c;
        }
    }
    return out;
}

// Replaces the text of `name`'s row in a table file, keeping its layout: one
// literal on one line, or one literal per text line where the row had them.
bool rewrite_row(std::string& file, std::string_view name, std::string_view text) {
    const RowSpan r = find_row(file, name);
    if (r.at == std::string::npos) return false;
    const std::size_t at = r.at, first = r.first, end = r.end;
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

// The text `name` had at `commit`, from git, or nothing where git cannot say.
std::optional<std::string> text_at_commit(const std::string& root, std::string_view commit, const Entry& e) {
    if (commit.empty() || commit.find_first_not_of("0123456789abcdef") != std::string_view::npos) return std::nullopt;
    const std::string command = "git -C '" + root + "' show " + std::string(commit) + ":" + std::string(e.file) + " 2>/dev/null";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) return std::nullopt;
    std::string content;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) content.append(buffer, n);
    if (::pclose(pipe) != 0) return std::nullopt;
    return row_text(content, e.name);
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

ImportPlan plan_import(const PoFile& po, const std::string& root, const ImportOptions& options) {
    ImportPlan plan;
    for (const auto& e : po.errors) plan.findings.push_back({"", e});
    plan.unlisted = po.unkept_errors;
    std::map<std::string_view, std::size_t> index;
    const auto tables = table_entries();
    for (std::size_t i = 0; i < tables.size(); ++i) index[tables[i].name] = i;
    if (po.exported_units != 0 && po.units.size() < po.exported_units)
        plan.findings.push_back({"", "the file holds " + std::to_string(po.units.size()) + " units of the " +
                                         std::to_string(po.exported_units) +
                                         " it was exported with: it may have been cut short"});

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
        const Entry& e = tables[it->second];
        if (e.text.empty()) {  // empty by rule: nothing to translate
            if (!unit.msgstr.empty())
                plan.findings.push_back({unit.context, "the editor takes this text empty; it has nothing to translate (" + where + ")"});
            continue;
        }
        if (unit.fuzzy || unit.msgstr.empty()) {
            plan.skipped.push_back({unit.context, unit.fuzzy ? "fuzzy: skipped" : "not translated: skipped"});
            continue;
        }
        const bool is_template = rules::is_template(e.name);
        const std::string current = to_utf8(e.text);
        const std::string now = reading_of(current, is_template);
        if (canonical(unit.msgstr) == canonical(now)) continue;
        // Three ways: the text at export (its digest), the table now, the file.
        if (!unit.base.empty() && base_digest(unit.msgstr) == unit.base) {
            plan.notes.push_back({unit.context, "changed in the tables since the export, not in the file: the table's text kept"});
            continue;
        }
        if (!unit.base.empty() && base_digest(now) != unit.base) {
            if (!options.prefer_file) {
                const auto then = text_at_commit(root, po.commit, e);
                const std::string at_export =
                    then && base_digest(reading_of(*then, is_template)) == unit.base
                        ? "\"" + reading_of(*then, is_template) + "\""
                        : "unknown (not in the repository's history)";
                plan.findings.push_back({unit.context, "changed both in the file and in the tables since the export: at export " +
                                                           at_export + ", now \"" + now + "\", in the file \"" +
                                                           unit.msgstr + "\"; keep one (--prefer-file takes the file's)"});
                continue;
            }
            plan.notes.push_back({unit.context, "changed in the file and in the tables: the file's text taken (--prefer-file)"});
        }
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
        if (!e.open) {
            if (!options.change_quoted) {
                plan.findings.push_back({unit.context, "quoted from the editor's own catalogue; --change-quoted changes it"});
                continue;
            }
            plan.notes.push_back({unit.context, "quoted text changed (--change-quoted)"});
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

std::string tables_mismatch(const std::string& root) {
    std::map<std::string, std::string> files;
    std::map<std::string, std::size_t> rows;
    for (const auto& e : table_entries()) {
        const std::string path(e.file);
        if (!files.count(path)) {
            bool ok = false;
            files[path] = read_file(root + "/" + path, ok);
            if (!ok) return "there is no " + path + " here: run hecat import from the repository's top folder";
        }
        ++rows[path];
        const auto text = row_text(files[path], e.name);
        if (!text || *text != e.utf8)
            return path + " has changed since hecat was built (" + std::string(e.name) +
                   "): run ./dev build, then import again";
    }
    for (const auto& [path, content] : files) {
        std::size_t n = 0;
        for (std::size_t p = 0; p < content.size(); p = content.find('\n', p) + 1) {
            if (content.compare(p, 6, "FIXED(") == 0 || content.compare(p, 5, "OPEN(") == 0) ++n;
            if (content.find('\n', p) == std::string::npos) break;
        }
        if (n != rows[path]) return path + " has rows hecat was not built with: run ./dev build, then import again";
    }
    return {};
}

}  // namespace he::tool
