// The PO format: the catalogue written as a PO file, and such a file read
// back with libgettextpo (po.h).
#include "po.h"

#include <gettext-po.h>

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <map>

#include "arguments.h"
#include "files.h"
#include "reading.h"
#include "rules.h"

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

// Entries with wording have a unit; the identity values and the texts empty
// by rule have none.
bool has_unit(const Entry& e) { return family_of(e).control != Control::none && !e.text.empty(); }

std::string header(std::string_view revision, std::string_view commit, std::size_t units) {
    return "# Hebrew texts of DLLTranslation_HE, the Hebrew language module of the Imbrosia image editor.\n"
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
}

std::string unit(const Entry& e, const std::map<std::string_view, std::string>& menu_paths, bool field_caption) {
    const bool templated = is_template(e.name);
    const std::string reading = reading_of(to_utf8(e.text), templated);
    std::string out = "\n#. " + describe_place(e, menu_paths) + ".\n";
    out += "#. " + describe_rules(e, field_caption) + ".\n";
    out += e.open ? "#. Written for this module.\n"
                  : "#. Quoted from the editor's own catalogue: change it only deliberately"
                    " (hecat import --change-quoted).\n";
    if (reading.front() == ' ' || reading.back() == ' ')
        out += std::string("#. The blank at the ") + (reading.front() == ' ' ? "start" : "end") +
               " is deliberate: the editor's own text has it.\n";
    // The English goes to msgid, where a translator's tool expects the source
    // text, its explanation to a comment.
    const auto [english, note] = split_gloss(e);
    if (!note.empty()) out += "#. Meaning: " + std::string(note) + ".\n";
    out += "#. hecat-base: " + base_digest(reading) + "\n";
    out += "#: " + std::string(e.file) + ":" + std::to_string(e.line) + "\n";
    if (templated) out += "#, c-format\n";
    out += "msgctxt " + po_string(e.name) + "\n";
    out += "msgid " + po_string(english) + "\n";
    return out + "msgstr " + po_string(reading) + "\n";
}

}  // namespace

std::string base_digest(std::string_view reading) {
    char out[17];
    std::snprintf(out, sizeof out, "%016llx", static_cast<unsigned long long>(rules::hash(canonical(reading))));
    return out;
}

std::string po_export(const std::vector<Item>& items, std::string_view revision, std::string_view commit) {
    std::size_t units = 0;
    for (const auto& item : items) units += has_unit(*item.entry) ? 1 : 0;
    std::string out = header(revision, commit, units);
    const auto paths = menu_paths();
    const auto fields = rules::field_captions(catalogue_order());
    for (const auto& item : items)
        if (has_unit(*item.entry))
            out += unit(*item.entry, paths, std::find(fields.begin(), fields.end(), item.entry->name) != fields.end());
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

// A copy of the file without its byte order mark, for gettext, which does
// not take one; Windows editors start a UTF-8 file with it. Its name, or ""
// when it could not be made.
std::string copy_without_mark(const std::string& raw) {
    const char* tmpdir = std::getenv("TMPDIR");
    std::string name = std::string(tmpdir && *tmpdir ? tmpdir : "/tmp") + "/hecat-po-XXXXXX";
    const int fd = ::mkstemp(name.data());
    if (fd < 0) return {};
    const bool written = ::write(fd, raw.data(), raw.size()) == static_cast<ssize_t>(raw.size());
    ::close(fd);
    if (written) return name;
    ::unlink(name.c_str());
    return {};
}

void read_header(po_file_t file, const std::string& path, PoFile& out) {
    // The header comes as a copy of its own, as each of its fields does.
    char* header = const_cast<char*>(po_file_domain_header(file, nullptr));
    if (header == nullptr) return;
    const std::string t = header_field(header, "Content-Type");
    if (!t.empty() && t.find("charset=UTF-8") == std::string::npos && t.find("charset=utf-8") == std::string::npos)
        out.errors.push_back(path + ": the file is not in UTF-8 (" + t + "); save it as UTF-8");
    out.commit = header_field(header, "X-Hecat-Commit");
    out.exported_units = static_cast<std::size_t>(std::strtoul(header_field(header, "X-Hecat-Units").c_str(), nullptr, 10));
    std::free(header);
}

void read_units(po_file_t file, const std::string& path, PoFile& out) {
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
        if (!cp1255::valid_utf8(unit.msgstr) || !cp1255::valid_utf8(unit.context))
            out.errors.push_back(path + ": " + unit.context + ": the text is not valid UTF-8; save the file as UTF-8");
        out.units.push_back(std::move(unit));
    }
    po_message_iterator_free(it);
}

}  // namespace

PoFile po_read(const std::string& path) {
    PoFile out;
    std::optional<std::string> raw = read_file(path);
    if (!raw) {
        out.errors.push_back(path + ": cannot be read");
        return out;
    }
    std::string copy;
    if (raw->starts_with("\xEF\xBB\xBF")) {
        raw->erase(0, 3);
        copy = copy_without_mark(*raw);
        if (copy.empty()) {
            out.errors.push_back(path + ": cannot be read without its byte order mark");
            return out;
        }
    }
    find_zero_escapes(*raw, path, out.errors);
    g_read_errors = &out.errors;
    g_unkept_errors = 0;
    const po_xerror_handler handler{on_error, on_error2};
    po_file_t file = po_file_read(copy.empty() ? path.c_str() : copy.c_str(), &handler);
    out.unkept_errors = g_unkept_errors;
    if (!copy.empty()) {
        ::unlink(copy.c_str());
        for (auto& e : out.errors)
            if (e.starts_with(copy)) e = path + e.substr(copy.size());
    }
    if (file == nullptr) {
        g_read_errors = nullptr;
        if (out.errors.empty()) out.errors.push_back(path + ": cannot be read as a PO file");
        return out;
    }
    read_header(file, path, out);
    read_units(file, path, out);
    po_file_free(file);
    g_read_errors = nullptr;
    if (out.units.empty() && out.errors.empty())
        out.errors.push_back(path + ": holds no unit; export one with hecat export --format po");
    return out;
}

}  // namespace he::tool
