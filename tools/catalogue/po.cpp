// The PO format: the catalogue written as a PO file, and such a file read
// back with libgettextpo (po.h).
#include "po.h"

#include <gettext-po.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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
    if (e.open && f.wording != Wording::any) out += "; " + std::string(rules::describe_wording(f.wording));
    if (f.ends == Ends::bare)
        out += field_caption ? "; the caption and a colon after it, no other colon" : "; no colon first, no closing mark";
    if (!f.degree_sign) out += "; no degree sign";
    if (is_template(e.name)) out += "; keep every placeholder";
    if (f.line_breaks) out += "; lines break with \\n";
    return out + "; no ellipsis, no &";
}

// Where each menu caption stands: "File menu", "File menu > Import", "opens the File menu".
std::map<std::string_view, std::string> menu_paths() {
    std::map<std::string_view, std::string> paths;
    for (const auto& menu : menu_tree()) {
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

std::string header(const PoExport& what, std::size_t units) {
    const std::string date = what.pot ? "YEAR-MO-DA HO:MI+ZONE" : what.revision;
    std::string out =
        "# Hebrew texts of DLLTranslation_HE, the Hebrew language module of the Imbrosia image editor.\n"
        "# Copyright (c) 2026 the DLLTranslation_HE contributors. MIT licence.\n"
        "#\n"
        "# Each text is written as a Hebrew reader reads it. The module stores it for the editor's\n"
        "# left-to-right controls; hecat import turns it back. Import with: hecat import FILE.po\n"
        "# Each unit's \"hecat-base\" comment records the text it was exported with: keep it, so that\n"
        "# the import can tell your changes from changes made to the tables since.\n";
    if (what.pot) out += "# The template: refresh a translation with msgmerge, pot2po or your tool's \"Update from POT\".\n";
    out += "msgid \"\"\n"
           "msgstr \"\"\n"
           "\"Project-Id-Version: DLLTranslation_HE " HE_VERSION "\\n\"\n"
           "\"Report-Msgid-Bugs-To: \\n\"\n"
           "\"POT-Creation-Date: " + what.revision + "\\n\"\n"
           "\"PO-Revision-Date: " + date + "\\n\"\n"
           "\"Last-Translator: DLLTranslation_HE contributors\\n\"\n"
           "\"Language-Team: Hebrew\\n\"\n"
           "\"Language: he\\n\"\n"
           "\"MIME-Version: 1.0\\n\"\n"
           "\"Content-Type: text/plain; charset=UTF-8\\n\"\n"
           "\"Content-Transfer-Encoding: 8bit\\n\"\n"
           "\"X-Generator: hecat\\n\"\n";
    // A template holds no text to record: were it to name a commit, the
    // tools that take a template's header would put it over the file's.
    if (!what.commit.empty() && !what.pot) out += "\"X-Hecat-Commit: " + what.commit + "\\n\"\n";
    if (!what.tables.empty()) out += "\"X-Hecat-Tables: " + what.tables + "\\n\"\n";
    return out + "\"X-Hecat-Units: " + std::to_string(units) + "\\n\"\n";
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
    out.append(text);
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
    } else if (!what.pot) {
        out += record_line(base_digest(reading), what.commit);
    }
    out += "#. " + describe_place(e, menu_paths) + ".\n";
    out += "#. " + describe_rules(e, field_caption) + ".\n";
    out += e.open ? "#. Written for this module.\n"
                  : "#. Quoted from the editor's own catalogue: change it only deliberately"
                    " (hecat import --change-quoted).\n";
    if (reading.front() == ' ' || reading.back() == ' ')
        out += std::string("#. The blank at the ") + (reading.front() == ' ' ? "start" : "end") +
               " is deliberate: the editor's own text has it.\n";
    if (const std::string shared = shared_with(e.name); !shared.empty())
        out += "#. Must read the same as " + shared + ": change them together.\n";
    // The English goes to msgid, where a translator's tool expects the source
    // text, its explanation to a comment.
    const auto [english, note] = split_gloss(e);
    if (!note.empty()) out += "#. Meaning: " + std::string(note) + ".\n";
    if (s && !s->note.empty()) out += "#. " + s->note + "\n";
    out += "#: " + std::string(e.file) + ":" + std::to_string(e.line) + "\n";
    if (templated || (s && s->fuzzy))
        out += std::string("#, ") + (s && s->fuzzy ? "fuzzy" : "") + (s && s->fuzzy && templated ? ", " : "") +
               (templated ? "c-format" : "") + "\n";
    if (s && !s->previous.empty())
        out += "#| msgctxt " + po_string(e.name) + "\n#| msgid " + po_string(s->previous) + "\n";
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

bool has_unit(const Entry& e) { return family_of(e).control != Control::none && !e.text.empty(); }

std::string shared_with(std::string_view name) {
    const int group = rules::group_of(name);
    if (group < 0) return {};
    std::string out;
    rules::wording::each_item(rules::kSharedTexts[group], ' ', [&](std::string_view other) {
        if (other != name) out += (out.empty() ? "" : ", ") + std::string(other);
    });
    return out;
}

bool records_commit(const PoFile& po) {
    return !po.commit.empty() || std::any_of(po.units.begin(), po.units.end(), [](const PoUnit& u) {
        return std::any_of(u.bases.begin(), u.bases.end(), [](const BaseRecord& r) { return !r.commit.empty(); });
    });
}

std::string po_export(const std::vector<Item>& items, const PoExport& what) {
    std::size_t units = 0;
    for (const auto& item : items) units += has_unit(*item.entry) ? 1 : 0;
    std::string out = header(what, units);
    const auto paths = menu_paths();
    const auto fields = rules::field_captions(catalogue_order());
    for (const auto& item : items)
        if (has_unit(*item.entry))
            out += unit(*item.entry, paths, std::find(fields.begin(), fields.end(), item.entry->name) != fields.end(), what);
    for (const auto& u : what.obsolete) out += obsolete_unit(u);
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


// The raw file's lines, as a translator's editor numbers them.
std::size_t line_at(const std::string& raw, std::size_t offset) {
    return 1 + static_cast<std::size_t>(std::count(raw.begin(), raw.begin() + static_cast<std::ptrdiff_t>(offset), '\n'));
}

// A file in another encoding or charset than UTF-8, refused in one line
// before gettext reads it (it stops without a word on a charset it cannot
// convert, and gives UTF-16 an error a line); empty when there is none.
std::string foreign(const std::string& raw, const std::string& path) {
    // A byte order mark, or ASCII with a zero byte beside each character.
    bool wide = raw.size() >= 16;
    for (std::size_t i = 0; wide && i < std::min<std::size_t>(raw.size(), 64) / 2 * 2; i += 2)
        wide = (raw[i] == '\0') != (raw[i + 1] == '\0');
    if (wide || raw.starts_with("\xFF\xFE") || raw.starts_with("\xFE\xFF") || raw.starts_with(std::string_view("\0\0\xFE\xFF", 4)))
        return path + ": is in UTF-16 or UTF-32; save it as UTF-8";
    // The header's charset, as gettext reads it.
    const auto field = raw.find("\n\"Content-Type:");
    if (const auto at = raw.find("charset=", field); field < raw.find("\nmsgctxt") && at < raw.find('\n', field + 1)) {
        std::size_t end = at + 8;
        while (end < raw.size() && (std::isalnum(static_cast<unsigned char>(raw[end])) || raw[end] == '-' || raw[end] == '_'))
            ++end;
        std::string charset = raw.substr(at + 8, end - at - 8);
        std::string lower = charset;
        for (auto& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (!lower.empty() && lower != "utf-8" && lower != "utf8" && lower != "charset")
            return path + ":" + std::to_string(line_at(raw, at)) + ": is in the charset " + charset + "; save it as UTF-8";
    }
    for (std::size_t i = 0; i < raw.size();) {
        const auto [cp, width] = cp1255::utf8_char(raw, i);
        if (width == 0)
            return path + ":" + std::to_string(line_at(raw, i)) + ": is not UTF-8 (a byte that starts no UTF-8 character); save it as UTF-8";
        i += width;
    }
    return {};
}

// gettext keeps a text only up to its first zero byte, so a string holding
// one would be imported cut short without a word. It is found however it is
// written: raw, or an escape whose low byte is zero (gettext keeps the low
// byte of "\400", "\x100", "\x1000"). Comments are not strings: "\0" there is
// only text.
void find_zero_bytes(const std::string& raw, const std::string& path, std::vector<std::string>& errors) {
    const auto said = [&](std::size_t at, std::string_view written) {
        std::string message = path + ":" + std::to_string(line_at(raw, at)) + ": holds the zero byte (U+0000 NULL, written ";
        message.append(written);
        message += "), which would end the text there; a text may not carry it";
        errors.push_back(std::move(message));
    };
    for (std::size_t start = 0; start < raw.size();) {
        std::size_t end = raw.find('\n', start);
        if (end == std::string::npos) end = raw.size();
        const std::size_t first = raw.find_first_not_of(" \t", start);
        const bool comment = first < end && raw[first] == '#';
        bool quoted = false;
        for (std::size_t i = start; !comment && i < end; ++i) {
            const char c = raw[i];
            if (c == '\0') {
                said(i, "as a raw byte");
            } else if (c == '"') {
                quoted = !quoted;
            } else if (c == '\\' && quoted && i + 1 < end) {
                const std::size_t from = i;
                const char k = raw[++i];
                unsigned low = 1;
                if (k >= '0' && k <= '7') {  // up to three octal digits
                    unsigned value = 0;
                    for (std::size_t n = 0; n < 3 && i < end && raw[i] >= '0' && raw[i] <= '7'; ++n, ++i)
                        value = value * 8 + static_cast<unsigned>(raw[i] - '0');
                    low = value & 0xFF;
                    --i;
                } else if (k == 'x' && i + 1 < end && std::isxdigit(static_cast<unsigned char>(raw[i + 1]))) {
                    // Any number of hex digits; the low byte is the last two.
                    unsigned value = 0;
                    for (++i; i < end && std::isxdigit(static_cast<unsigned char>(raw[i])); ++i)
                        value = ((value << 4) | static_cast<unsigned>(std::isdigit(static_cast<unsigned char>(raw[i]))
                                                                            ? raw[i] - '0'
                                                                            : (raw[i] | 0x20) - 'a' + 10)) & 0xFF;
                    low = value;
                    --i;
                }
                if (low == 0) said(from, std::string_view(raw).substr(from, i + 1 - from));
            }
        }
        start = end + 1;
    }
}

// The line of each unit's first keyword (msgctxt, or msgid where it has
// none), by its msgctxt as written plainly, in file order; gettext says only
// where a unit's source reference points.
std::map<std::string, std::vector<std::size_t>> unit_lines(const std::string& raw) {
    std::map<std::string, std::vector<std::size_t>> lines;
    std::size_t line = 1;
    bool after_context = false;
    for (std::size_t start = 0; start < raw.size(); ++line) {
        std::size_t end = raw.find('\n', start);
        if (end == std::string::npos) end = raw.size();
        std::string_view l(raw.data() + start, end - start);
        if (l.starts_with("#~ ")) l.remove_prefix(3);
        if (l.starts_with("msgctxt \"")) {
            const auto close = l.find('"', 9);
            lines[std::string(l.substr(9, close == std::string_view::npos ? 0 : close - 9))].push_back(line);
            after_context = true;
        } else if (l.starts_with("msgid ")) {
            if (!after_context) lines[""].push_back(line);
            after_context = false;
        }
        start = end + 1;
    }
    return lines;
}

std::string header_field(const char* header, const char* name) {
    char* value = po_header_field(header, name);
    if (value == nullptr) return {};
    std::string out(value);
    std::free(value);
    return out;
}

// The file read once, at most kLargestPoFile bytes: a FIFO or a process
// substitution gives its bytes only once, and /dev/zero never ends.
std::optional<std::string> read_bounded(const std::string& path, std::string& why) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        why = path + ": cannot be read: " + std::strerror(errno);
        return std::nullopt;
    }
    std::string out;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) why = path + ": cannot be read: " + std::strerror(errno);
        if (n <= 0) break;
        out.append(buffer, static_cast<std::size_t>(n));
        if (out.size() > kLargestPoFile) {
            why = path + ": is larger than " + std::to_string(kLargestPoFile >> 20) +
                  " MiB, far more than a PO file of this catalogue; not read";
            break;
        }
    }
    ::close(fd);
    if (!why.empty()) return std::nullopt;
    return out;
}

// The bytes in a temporary file for gettext, which reads a file by its name;
// its name, or "" when it could not be made.
std::string temporary_copy(const std::string& raw) {
    const char* tmpdir = std::getenv("TMPDIR");
    std::string name = std::string(tmpdir && *tmpdir ? tmpdir : "/tmp") + "/hecat-po-XXXXXX";
    const int fd = ::mkstemp(name.data());
    if (fd < 0) return {};
    std::size_t done = 0;
    while (done < raw.size()) {
        const ssize_t n = ::write(fd, raw.data() + done, raw.size() - done);
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    ::close(fd);
    if (done == raw.size()) return name;
    ::unlink(name.c_str());
    return {};
}

void read_header(po_file_t file, const std::string& path, PoFile& out) {
    // The header comes as a copy of its own, as each of its fields does.
    char* header = const_cast<char*>(po_file_domain_header(file, nullptr));
    if (header == nullptr) return;
    out.commit = header_field(header, "X-Hecat-Commit");
    out.exported_units = static_cast<std::size_t>(std::strtoul(header_field(header, "X-Hecat-Units").c_str(), nullptr, 10));
    std::free(header);
    (void)path;
}

// A comment's lines, each without its "#" and the blank after it.
std::vector<std::string> comment_lines(const char* comments) {
    std::vector<std::string> lines;
    std::string_view c(comments ? comments : "");
    while (!c.empty()) {
        const auto end = c.find('\n');
        std::string_view l = c.substr(0, end);
        if (l.starts_with(" ")) l.remove_prefix(1);
        lines.emplace_back(l);
        if (end == std::string_view::npos) break;
        c.remove_prefix(end + 1);
    }
    return lines;
}

// The record a comment line holds: "hecat-base: DIGEST [COMMIT]"; an empty
// digest where it holds none.
BaseRecord record(std::string_view line) {
    const auto hex = [](std::string_view s) {
        return std::all_of(s.begin(), s.end(), [](char c) { return std::isxdigit(static_cast<unsigned char>(c)); });
    };
    if (!line.starts_with("hecat-base: ")) return {};
    line.remove_prefix(12);
    const std::string_view digest = line.substr(0, line.find(' '));
    const std::string_view commit = digest.size() < line.size() ? line.substr(digest.size() + 1) : std::string_view();
    if (digest.size() != 16 || !hex(digest) || !hex(commit)) return {};
    return {std::string(digest), std::string(commit)};
}

void read_units(po_file_t file, const std::string& raw, PoFile& out) {
    auto lines = unit_lines(raw);
    std::map<std::string, std::size_t> taken;
    po_message_iterator_t it = po_message_iterator(file, nullptr);
    while (po_message_t m = po_next_message(it)) {
        const char* msgid = po_message_msgid(m);
        const char* context = po_message_msgctxt(m);
        if (context == nullptr && msgid[0] == '\0') continue;  // the header
        PoUnit unit{context ? context : "", msgid, po_message_msgstr(m), {}, {}, false, po_message_is_fuzzy(m) != 0,
                    po_message_is_obsolete(m) != 0, 0};
        // Line breaks: \n as translators' tools write them, \r as older exports did.
        std::string breaks;
        for (std::size_t i = 0; i < unit.msgstr.size(); ++i) {
            const char c = unit.msgstr[i];
            breaks += c == '\n' ? '\r' : c;
            if (c == '\r' && i + 1 < unit.msgstr.size() && unit.msgstr[i + 1] == '\n') ++i;
        }
        unit.msgstr = std::move(breaks);
        for (auto& l : comment_lines(po_message_comments(m))) {
            if (BaseRecord r = record(l); !r.digest.empty()) {
                if (std::find(unit.bases.begin(), unit.bases.end(), r) == unit.bases.end()) unit.bases.push_back(std::move(r));
            } else {
                unit.comments.push_back(std::move(l));
            }
        }
        // Older exports recorded the text in an extracted comment, which the
        // tools that refresh a file take from the new template.
        if (unit.bases.empty())
            for (const auto& l : comment_lines(po_message_extracted_comments(m)))
                if (BaseRecord r = record(l); !r.digest.empty() && unit.bases.empty()) {
                    unit.bases.push_back(std::move(r));
                    unit.extracted_record = true;
                }
        if (const auto found = lines.find(unit.context); found != lines.end() && taken[unit.context] < found->second.size())
            unit.line = found->second[taken[unit.context]++];
        (unit.obsolete ? out.obsolete : out.units).push_back(std::move(unit));
    }
    po_message_iterator_free(it);
}

}  // namespace

PoFile po_read(const std::string& path) {
    PoFile out;
    out.path = path;
    std::string why;
    std::optional<std::string> raw = read_bounded(path, why);
    if (!raw) {
        out.errors.push_back(why);
        return out;
    }
    if (raw->starts_with("\xEF\xBB\xBF")) raw->erase(0, 3);
    if (const std::string bad = foreign(*raw, path); !bad.empty()) {
        out.errors.push_back(bad);
        return out;
    }
    find_zero_bytes(*raw, path, out.errors);
    if (!out.errors.empty()) return out;
    const std::string copy = temporary_copy(*raw);
    if (copy.empty()) {
        out.errors.push_back(path + ": cannot be copied for reading into " + (std::getenv("TMPDIR") ? "$TMPDIR" : "/tmp"));
        return out;
    }
    g_read_errors = &out.errors;
    g_unkept_errors = 0;
    const po_xerror_handler handler{on_error, on_error2};
    po_file_t file = po_file_read(copy.c_str(), &handler);
    out.unkept_errors = g_unkept_errors;
    ::unlink(copy.c_str());
    for (auto& e : out.errors)
        if (e.starts_with(copy)) e = path + e.substr(copy.size());
    g_read_errors = nullptr;
    if (file == nullptr) {
        if (out.errors.empty()) out.errors.push_back(path + ": cannot be read as a PO file");
        return out;
    }
    read_header(file, path, out);
    read_units(file, *raw, out);
    po_file_free(file);
    out.text = std::move(*raw);
    if (out.units.empty() && out.errors.empty())
        out.errors.push_back(path + ": holds no unit; export one with hecat export --format po");
    return out;
}

}  // namespace he::tool
