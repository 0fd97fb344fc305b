// The PO format read: a translator's file checked as bytes (its size, its
// encoding, the zero byte) and then read with libgettextpo into units and
// their records, each at its line in the file (po.h).
#include "po.h"

#include <gettext-po.h>

#include <fcntl.h>
#include <sys/mman.h>
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

// What gettext's error handlers, which take no argument of ours, write to
// while a file is read: its errors, named at the file as the user named it.
struct Reading {
    std::vector<std::string>& errors;
    std::size_t unkept = 0;
    const std::string& path;
    const std::string& raw;
};
Reading* g_reading = nullptr;
constexpr std::size_t kKeptErrors = 100;

std::map<std::string, std::vector<std::size_t>> unit_lines(const std::string& raw);

void on_error(int severity, po_message_t unit, const char*, std::size_t lineno, std::size_t, int, const char* text) {
    if (severity == PO_SEVERITY_WARNING) return;
    std::string message = g_reading->path;
    if (lineno != 0 && lineno != static_cast<std::size_t>(-1)) message.append(":").append(std::to_string(lineno));
    if (unit != nullptr && po_message_msgctxt(unit) != nullptr) message.append(": ").append(po_message_msgctxt(unit));
    message.append(": ").append(text);
    while (!message.empty() && message.back() == '\n') message.pop_back();
    if (severity == PO_SEVERITY_FATAL_ERROR) {
        // Nothing has been written when a file is read: stop here.
        std::fprintf(stderr, "hecat: %s\n", visible(message).c_str());
        std::exit(2);
    }
    // A binary or foreign file gives an error a line: the first ones say enough.
    if (g_reading->errors.size() < kKeptErrors) g_reading->errors.push_back(message);
    else ++g_reading->unkept;
}

void on_error2(int severity, po_message_t m1, const char* f1, std::size_t l1, std::size_t c1, int ml1, const char* t1,
               po_message_t m2, const char*, std::size_t l2, std::size_t, int, const char* t2) {
    // A second unit of an entry, which gettext names at its msgid and the
    // first by its message alone: both named at their msgctxt's lines.
    const char* context = m2 ? po_message_msgctxt(m2) : nullptr;
    if (m1 == nullptr && context != nullptr && (l2 == 0 || l2 == static_cast<std::size_t>(-1))) {
        const auto lines = unit_lines(g_reading->raw)[context];
        std::size_t second = l1;
        for (const auto l : lines) second = l <= l1 ? l : second;
        const std::string text = "appears twice in the file" +
                                 (lines.empty() ? std::string() : ", first at " + g_reading->path + ":" + std::to_string(lines.front()));
        return on_error(severity, m2, f1, second, c1, ml1, text.c_str());
    }
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
// `identity` is the regular file's (files.h), or empty.
std::optional<std::string> read_bounded(const std::string& path, std::string& why, std::string& identity) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        why = path + ": cannot be read: " + std::strerror(errno);
        return std::nullopt;
    }
    identity = file_identity(fd);
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

// The bytes in a file in memory for gettext, which reads a file by its name
// (/proc/self/fd/N): its descriptor, or -1. No other process sees it and it
// ends with hecat, however hecat ends, so no copy of a translator's file is
// ever left behind.
int memory_copy(const std::string& raw) {
    const int fd = ::memfd_create("hecat-po", MFD_CLOEXEC);
    if (fd < 0) return -1;
    std::size_t done = 0;
    while (done < raw.size()) {
        const ssize_t n = ::write(fd, raw.data() + done, raw.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    if (done == raw.size()) return fd;
    ::close(fd);
    return -1;
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

// The header unit as the file has it, each field kept as written.
PoHeader read_header_unit(po_message_t m) {
    PoHeader h{comment_lines(po_message_comments(m)), {}, po_message_is_fuzzy(m) != 0};
    std::string_view fields(po_message_msgstr(m));
    while (!fields.empty()) {
        const auto end = fields.find('\n');
        h.fields.emplace_back(fields.substr(0, end));
        fields.remove_prefix(end == std::string_view::npos ? fields.size() : end + 1);
    }
    return h;
}

// Line breaks as the module writes them: \n as translators' tools write
// them, \r as older exports did.
std::string breaks_as_cr(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        out += text[i] == '\n' ? '\r' : text[i];
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    }
    return out;
}

// A PO string as a comment holds it ("..." with PO's escapes), as text;
// empty where it is not one.
std::string unquoted(std::string_view quoted) {
    if (quoted.size() < 2 || quoted.front() != '"' || quoted.back() != '"') return {};
    std::string out;
    for (std::size_t i = 1; i + 1 < quoted.size(); ++i) {
        char c = quoted[i];
        if (c == '\\' && i + 2 < quoted.size()) {
            c = quoted[++i];
            c = c == 'n' ? '\r' : c == 't' ? '\t' : c;
        }
        out += c;
    }
    return out;
}

// A unit's comments: its records (the first kRecordsKept of them; the
// number of the others is returned), the Hebrew at export, the translator's
// own; and from the extracted comments an older export's record and
// hecat's note on a fuzzy unit.
std::size_t read_comments(po_message_t m, PoUnit& unit) {
    std::size_t ignored = 0;
    for (auto& l : comment_lines(po_message_comments(m))) {
        if (BaseRecord r = record(l); !r.digest.empty()) {
            if (std::find(unit.bases.begin(), unit.bases.end(), r) != unit.bases.end()) continue;
            if (unit.bases.size() < kRecordsKept) unit.bases.push_back(std::move(r));
            else ++ignored;
        } else if (l.starts_with("hecat-was: ")) {
            unit.was = unquoted(std::string_view(l).substr(11));
        } else {
            unit.comments.push_back(std::move(l));
        }
    }
    // Older exports recorded the text in an extracted comment, which the
    // tools that refresh a file take from the new template.
    const bool recorded = !unit.bases.empty();
    for (const auto& l : comment_lines(po_message_extracted_comments(m))) {
        if (BaseRecord r = record(l); !recorded && !r.digest.empty() && unit.bases.empty()) {
            unit.bases.push_back(std::move(r));
            unit.extracted_record = true;
        }
        for (const auto note : kFuzzyNotes)
            if (l.starts_with(note)) unit.note = l;
    }
    return ignored;
}

void read_units(po_file_t file, const std::string& raw, PoFile& out) {
    auto lines = unit_lines(raw);
    std::map<std::string, std::size_t> taken;
    std::size_t over = 0;  // units with more than kRecordsKept records
    po_message_iterator_t it = po_message_iterator(file, nullptr);
    while (po_message_t m = po_next_message(it)) {
        const char* msgid = po_message_msgid(m);
        const char* context = po_message_msgctxt(m);
        if (context == nullptr && msgid[0] == '\0') {
            out.header = read_header_unit(m);
            ++taken[""];  // its msgid line is not the line of a unit without msgctxt after it
            continue;
        }
        PoUnit unit{.context = context ? context : "", .msgid = msgid, .msgstr = breaks_as_cr(po_message_msgstr(m)),
                    .fuzzy = po_message_is_fuzzy(m) != 0, .obsolete = po_message_is_obsolete(m) != 0};
        if (const char* previous = po_message_prev_msgid(m)) unit.previous = breaks_as_cr(previous);
        if (const char* previous = po_message_prev_msgctxt(m); previous && unit.context != previous) unit.previous_context = previous;
        const std::size_t ignored = read_comments(m, unit);
        if (const auto found = lines.find(unit.context); found != lines.end() && taken[unit.context] < found->second.size())
            unit.line = found->second[taken[unit.context]++];
        if (ignored > 0 && over++ == 0)
            out.warning = out.path + ":" + std::to_string(unit.line) + ": " + unit.context + ": " + std::to_string(ignored) +
                          " records of the text at export ignored past its first " + std::to_string(kRecordsKept);
        // gettext gives such a unit's msgstr[0] as its msgstr: it would be imported as if it were the text.
        unit.plural = po_message_msgid_plural(m) != nullptr;
        if (unit.plural && !unit.obsolete)
            out.errors.push_back(out.path + ":" + std::to_string(unit.line) + ": " + unit.context +
                                 ": has plural forms (msgid_plural, msgstr[N]), which no text of this catalogue has: "
                                 "give it one msgid and one msgstr");
        (unit.obsolete ? out.obsolete : out.units).push_back(std::move(unit));
    }
    po_message_iterator_free(it);
    if (over > 1) out.warning += "; and those of " + std::to_string(over - 1) + " more units";
}

}  // namespace

PoFile po_read(const std::string& path) {
    PoFile out;
    out.path = path;
    std::string why;
    std::optional<std::string> raw = read_bounded(path, why, out.identity);
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
    const int copy_fd = memory_copy(*raw);
    if (copy_fd < 0) {
        out.errors.push_back(path + ": cannot be copied into memory for reading: " + std::strerror(errno));
        return out;
    }
    const std::string copy = "/proc/self/fd/" + std::to_string(copy_fd);
    Reading reading{out.errors, 0, path, *raw};
    g_reading = &reading;
    const po_xerror_handler handler{on_error, on_error2};
    po_file_t file = po_file_read(copy.c_str(), &handler);
    out.unkept_errors = reading.unkept;
    ::close(copy_fd);
    for (auto& e : out.errors)  // the copy's name, where gettext's text gives it, is the file's
        if (const auto at = e.find(copy + ":"); at != std::string::npos) e.replace(at, copy.size(), path);
    g_reading = nullptr;
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

std::string changed_since_read(const PoFile& po) {
    if (po.identity.empty()) return {};  // a FIFO or a process substitution is read once, and cannot change
    std::string why, identity;
    auto raw = read_bounded(po.path, why, identity);
    if (raw && raw->starts_with("\xEF\xBB\xBF")) raw->erase(0, 3);
    return raw && identity == po.identity && *raw == po.text ? std::string() : po.path + " has changed since hecat read it";
}

}  // namespace he::tool
