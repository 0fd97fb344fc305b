// The rules every text of the module follows, each defined once, here.
//
// The build applies them while it compiles the tables: the export macro
// checks each row (`row_verdict`), and one pass over all rows checks what
// only the whole catalogue shows (`catalogue_verdict`): texts that must or
// must not read the same, and the export list against the tables. A broken
// rule stops the build at the first finding, naming the row's file, line and
// entry. `hecat check` applies the same functions and reports every finding.
//
// This file names no entry: what a rule needs to know of a row stands beside
// it. The export list marks the field captions; catalogue/exceptions.inc
// names the entries a rule allows more, catalogue/same_texts.inc those that
// read the same on purpose.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "arguments.h"
#include "table.h"
#include "cp1255.h"
#include "families.h"
#include "wording.h"

namespace he::rules {

// A message of bounded length that the compiler can build and print.
struct Message {
    char text[400]{};
    std::size_t size = 0;
    bool advice = false;  // reported by hecat check; does not stop the build

    constexpr Message& operator<<(std::string_view s) {
        for (const char c : s)
            if (size + 1 < sizeof text) text[size++] = c;
        return *this;
    }
    constexpr Message& operator<<(std::size_t n) {
        char digits[24]{};
        std::size_t k = 0;
        do digits[k++] = static_cast<char>('0' + n % 10); while ((n /= 10) != 0);
        while (k > 0) *this << std::string_view(&digits[--k], 1);
        return *this;
    }
    constexpr std::string_view view() const { return {text, size}; }
};

// What the rules of every text reserve for a few entries, each entry named
// beside the tables (catalogue/exceptions.inc).
enum class Allow {
    blank_at_end,      // a caption that ends in a blank
    access_key,        // an access-key &
    modifier,          // a + joining keys
    result_mark,       // a label read with its " !" first
    colon_in_example,  // a label's colon inside its example
    percent_unit,      // the percent unit: a lone %, and the one text not a template with one
};

struct Allowance {
    std::string_view name;
    Allow what;
};
inline constexpr Allowance kAllowances[] = {
#define ALLOW(Name, What) {#Name, Allow::What},
#include "catalogue/exceptions.inc"
#undef ALLOW
};

constexpr bool allowed(std::string_view name, Allow what) {
    for (const auto& a : kAllowances)
        if (a.what == what && a.name == name) return true;
    return false;
}

// Names that stay in Latin letters in every text: formats, standards, the
// editor and its mask tool. A row whose English names one carries it.
inline constexpr std::string_view kLatinNames[] = {"JPEG", "PNG", "GIF", "Exif", "DVD", "XP", "dpi", "Mb", "RGB",
                                                   "Imbrosia", "Ordelith"};

struct NamedCharacter {
    char32_t code_point;
    std::string_view name;
};
inline constexpr NamedCharacter kCharacterNames[] = {
#include "unicode_names.inc"
};

// ---------------------------------------------------------------------------
// Characters

constexpr bool hebrew_letter(char c) { return static_cast<unsigned char>(c) >= 0xE0 && static_cast<unsigned char>(c) <= 0xFA; }

// The first character of a UTF-8 text that the module may not carry. A text
// may carry the Hebrew letters without points or marks, printable ASCII, the
// degree sign and CR, the one line break the editor understands.
struct Refused {
    bool found = false;
    char32_t code_point = 0;
    std::size_t position = 0;  // 1-based, in characters
    bool malformed = false;
};

constexpr Refused first_refused(std::string_view utf8) {
    std::size_t position = 0;
    for (std::size_t i = 0; i < utf8.size();) {
        ++position;
        const auto [cp, width] = cp1255::utf8_char(utf8, i);
        if (width == 0) return {true, cp, position, true};
        // The characters that have a byte are the encoding's to say; an
        // overlong form of an ASCII character is malformed UTF-8.
        if (cp1255::decode_one(utf8, i).byte < 0) return {true, cp, position, width > 1 && cp < 0x80};
        i += width;
    }
    return {};
}

constexpr Message& describe(Message& m, char32_t cp) {
    constexpr char hex[] = "0123456789ABCDEF";
    char digits[8]{};
    std::size_t k = 0;
    for (char32_t v = cp; k < 4 || v != 0; v >>= 4) digits[k++] = hex[v & 0xF];
    m << "U+";
    while (k > 0) m << std::string_view(&digits[--k], 1);
    for (const auto& c : kCharacterNames)
        if (c.code_point == cp) return m << " " << c.name;
    return m;
}

// What a text with a character the module may not carry is told. `line_break`
// is how the text's source writes a line break: \r in a table, \n in a PO file.
constexpr Message& describe_refused(Message& m, const Refused& r, std::string_view line_break) {
    if (r.malformed)
        return m << "holds a byte that starts no UTF-8 character at character " << r.position << "; save it as UTF-8";
    return describe(m << "holds ", r.code_point)
           << " at character " << r.position
           << "; a text may carry only Hebrew letters without points or marks, printable ASCII,"
              " the degree sign and line breaks written "
           << line_break;
}

// ---------------------------------------------------------------------------
// The ends of a text as a Hebrew reader meets them
//
// Texts are stored in the order a left-to-right control shows them; the rules
// about how a text begins and ends speak of its reading. In a line that holds
// a Hebrew letter, what is stored first is read last: ".רגיל" reads "רגיל.",
// "! הקובץ לא נמצא" ends in its "!". A line without one reads as stored.

inline constexpr std::string_view kAsRead = ", as a Hebrew reader reads it";

constexpr bool holds_hebrew(std::string_view line) { return std::any_of(line.begin(), line.end(), hebrew_letter); }

// The character of a line a reader meets first, and last (0 for an empty line).
constexpr char read_first(std::string_view line) {
    return line.empty() ? '\0' : holds_hebrew(line) ? line.back() : line.front();
}
constexpr char read_last(std::string_view line) {
    return line.empty() ? '\0' : holds_hebrew(line) ? line.front() : line.back();
}
// Whether a line's reading begins, or ends, with a piece that reads the same
// either way ("...").
constexpr bool reads_first(std::string_view line, std::string_view piece) {
    return holds_hebrew(line) ? line.ends_with(piece) : line.starts_with(piece);
}
constexpr bool reads_last(std::string_view line, std::string_view piece) {
    return holds_hebrew(line) ? line.starts_with(piece) : line.ends_with(piece);
}

// The lines of a text (CR-separated), each with whether it is the first.
template <class Each>
constexpr void for_each_line(std::string_view t, Each&& each) {
    for (std::size_t start = 0, end = 0; start <= t.size(); start = end + 1) {
        end = start;
        while (end < t.size() && t[end] != '\r') ++end;
        each(t.substr(start, end - start), start == 0);
    }
}
constexpr std::string_view first_line(std::string_view t) {
    std::size_t end = 0;
    while (end < t.size() && t[end] != '\r') ++end;
    return t.substr(0, end);
}
constexpr std::string_view last_line(std::string_view t) {
    std::size_t start = t.size();
    while (start > 0 && t[start - 1] != '\r') --start;
    return t.substr(start);
}

// ---------------------------------------------------------------------------
// The rules of one entry

// Plain loops rather than std::string_view::find, which GCC cannot evaluate
// in the compiler when the undefined-behaviour sanitizer instruments it.
constexpr bool has(std::string_view t, char c) {
    for (const char x : t)
        if (x == c) return true;
    return false;
}
constexpr bool has(std::string_view t, std::string_view piece) {
    for (std::size_t i = 0; i + piece.size() <= t.size(); ++i)
        if (t.substr(i, piece.size()) == piece) return true;
    return false;
}

// How long a family's texts may be: "1 to 26 bytes", "at most 129 bytes".
constexpr Message& describe_bytes(Message& m, const Family& f) {
    if (f.shortest == 0) return m << "at most " << f.longest << " bytes";
    return m << f.shortest << " to " << f.longest << " bytes";
}

// "a" or "an", as the noun begins.
constexpr std::string_view article(std::string_view noun) {
    return !noun.empty() && has("aeiou", noun.front()) ? "an " : "a ";
}

// What a text of `bytes` bytes outside its family's length is told.
constexpr Message& describe_length(Message& m, std::size_t bytes, const Family& f) {
    if (f.shortest == 0) return describe_bytes(m << "is " << bytes << " bytes; " << article(f.noun) << f.noun << " is ", f);
    return describe_bytes(m << article(f.noun) << f.noun << " is ", f) << "; this one is " << bytes;
}

// What a text that begins or ends in an ellipsis, as it is read, is told.
constexpr Message& describe_ellipsis(Message& m, bool at_end) {
    return m << (at_end ? "ends in" : "begins with") << " an ellipsis" << kAsRead;
}

// What wording written for this module is made of, where a family says.
constexpr std::string_view describe_wording(Wording w) {
    return w == Wording::letters ? "Hebrew letters and single blanks only"
           : w == Wording::hebrew ? "a Hebrew letter at least, and no %"
                                  : "";
}

// The names of the families for which `holds` holds: "templates and messages".
template <class Holds>
constexpr Message& name_families(Message& m, Holds&& holds) {
    std::size_t all = 0, said = 0;
    for (const auto& f : kFamilies) all += holds(f) ? 1 : 0;
    for (const auto& f : kFamilies) {
        if (!holds(f)) continue;
        m << (said == 0 ? "" : said + 1 == all ? " and " : ", ") << f.name;
        ++said;
    }
    return m;
}

// The rules of every text. `fail(broken, write)` reports a broken rule,
// `write` putting its message into a Message.
template <class Fail>
constexpr void check_every_text(const Entry& e, const Family& f, Fail& fail) {
    const std::string_view t = e.text, n = e.name;
    fail(t.size() < f.shortest || t.size() > f.longest, [&](Message& m) { describe_length(m, t.size(), f); });
    fail(!t.empty() && (t.front() == '\r' || t.back() == '\r'),
         [](Message& m) { m << "begins or ends with a line break"; });
    fail(has(t, '\r') && !f.line_breaks, [](Message& m) {
        name_families(m << "has a line break, which only ", [](const Family& other) { return other.line_breaks; })
            << " may have";
    });
    // The ends of each line as it is read: a blank there shows as nothing.
    for_each_line(t, [&](std::string_view line, bool first_line) {
        const std::string_view which = first_line ? "" : "a line of it ";
        const bool blank_allowed = allowed(n, Allow::blank_at_end);
        fail(read_first(line) == ' ' && !blank_allowed, [&](Message& m) { m << which << "begins with a blank" << kAsRead; });
        fail(read_last(line) == ' ' && !blank_allowed, [&](Message& m) { m << which << "ends with a blank" << kAsRead; });
    });
    fail(has(t, "  "), [](Message& m) { m << "holds two blanks in a row"; });
    fail(has(t, '|'), [](Message& m) { m << "holds a | separator"; });
    fail(has(t, '&') && !allowed(n, Allow::access_key),
         [](Message& m) { m << "holds an access-key &, which only the Yes and No buttons carry"; });
    fail(has(t, '+') && !allowed(n, Allow::modifier),
         [](Message& m) { m << "holds a +, which only the modifier key names carry"; });
    fail(reads_last(last_line(t), "..."), [](Message& m) { describe_ellipsis(m, true); });
    fail(reads_first(first_line(t), "..."), [](Message& m) { describe_ellipsis(m, false); });
}

// The rules the entry's family adds (families.inc).
template <class Fail>
constexpr void check_family(const Entry& e, const Family& f, bool field_caption, Fail& fail) {
    const std::string_view t = e.text, a = article(f.noun);
    fail(!f.degree_sign && has(t, '\xB0'), [&](Message& m) { m << a << f.noun << " holds no degree sign"; });
    if (f.ends == Ends::bare && field_caption) {
        // Stored ": רוחב", read "רוחב :".
        fail(!t.starts_with(": ") || has(t.substr(1), ':'),
             [](Message& m) { m << "a field caption is the caption and then \" :\"" << kAsRead << ", with no other colon"; });
    } else if (f.ends == Ends::bare) {
        const char first = read_first(t), last = read_last(t);
        fail(last == ':', [](Message& m) { m << "only field captions end in a colon" << kAsRead; });
        fail(last != ':' && has(t, ':') && !allowed(e.name, Allow::colon_in_example), [&](Message& m) {
            m << a << f.noun << " holds no colon; only the field captions and the filter example do";
        });
        fail(has(".?!", last), [&](Message& m) { m << a << f.noun << " ends in no mark" << kAsRead; });
        // The editor's two batch results are read with their " !" first.
        const bool batch_result = allowed(e.name, Allow::result_mark) && t.ends_with(" !");
        fail(has(":.?!", first) && !batch_result, [&](Message& m) { m << a << f.noun << " begins with no mark" << kAsRead; });
    }
    if (e.quoted) return;
    const auto written = [&](Message& m) -> Message& { return m << a << f.noun << " written for this module "; };
    fail(f.wording == Wording::letters && !std::all_of(t.begin(), t.end(), [](char c) { return c == ' ' || hebrew_letter(c); }),
         [&](Message& m) { written(m) << "is " << describe_wording(f.wording); });
    fail(f.wording == Wording::hebrew && std::none_of(t.begin(), t.end(), hebrew_letter),
         [&](Message& m) { written(m) << "needs a Hebrew letter"; });
    fail(f.wording == Wording::hebrew && has(t, '%'), [&](Message& m) { written(m) << "holds no %"; });
}

// Conventions of the wording written for this module.
template <class Fail>
constexpr void check_conventions(const Entry& e, Fail& fail) {
    const std::string_view t = e.text;
    const bool angled = has(t, '<') || has(t, '>');
    fail(angled && !(t.size() > 2 && t.front() == '<' && t.back() == '>' && !has(t.substr(1, t.size() - 2), '<') &&
                     !has(t.substr(1, t.size() - 2), '>')),
         [](Message& m) { m << "angle brackets enclose a whole text, a pseudo-entry of a list such as <all>"; });
    bool lone_slash = false;
    for (std::size_t i = 0; i < t.size(); ++i)
        lone_slash = lone_slash || (t[i] == '/' && (i == 0 || i + 1 == t.size() || t[i - 1] != ' ' || t[i + 1] != ' '));
    fail(lone_slash && !is_template(e.name),
         [](Message& m) { m << "alternatives are joined by \" / \", with a blank on each side"; });
    // The English itself, without the explanation a gloss may add in parentheses.
    wording::each_item(split_gloss(e).first, ' ', [&](std::string_view word) {
        while (!word.empty() && wording::mark(word.back())) word.remove_suffix(1);
        for (const std::string_view latin : kLatinNames)
            fail(word == latin && !wording::holds(wording::words_of(e.utf8), latin), [&](Message& m) {
                m << "its English names " << latin
                  << " and the text does not: names of formats, standards and products stay in Latin letters";
            });
    });
}

// A template carries the specifiers the editor passes; no other text but
// the percent unit carries a %.
template <class Fail>
constexpr void check_specifiers(const Entry& e, Fail& fail) {
    const std::string_view t = e.text, n = e.name;
    if (is_template(n)) {
        Message found;
        write_specifiers(t, [&](std::string_view piece) { found << piece; });
        const std::string_view want = arguments_of(n);
        fail(found.view() != want, [&](Message& m) {
            m << "has the specifiers \"" << found.view() << "\" where the editor passes \"" << want
              << "\", in that order";
        });
    } else if (allowed(n, Allow::percent_unit)) {
        fail(t != "%", [](Message& m) { m << "the percent unit is a lone % shown unformatted"; });
    } else {
        fail(has(t, '%'), [](Message& m) { m << "holds a % but the editor fills no value into it"; });
    }
}

// Calls report(entry, message) once for each rule the entry breaks. A text
// with a character the module may not carry, or in a table of a family that
// families.inc does not list, is reported for that alone.
template <class Report>
constexpr void check_entry(const Entry& e, bool field_caption, Report&& report) {
    const auto fail = [&](bool broken, auto&& write) {
        if (!broken) return;
        Message m;
        write(m);
        report(e, m);
    };
    if (const Refused r = first_refused(e.utf8); r.found) {
        fail(true, [&](Message& m) { describe_refused(m, r, "\\r"); });
        return;
    }
    const std::optional<Family> family = find_family(e.family);
    if (!family) {
        fail(true, [&](Message& m) { m << "stands in the table of \"" << e.family << "\", a family src/families.inc does not list"; });
        return;
    }
    check_every_text(e, *family, fail);
    check_family(e, *family, field_caption, fail);
    if (!e.quoted) check_conventions(e, fail);
    wording::check_row<Message>(e.name, e.family, e.utf8, e.quoted, [&](bool advice, auto&& write) {
        Message m;
        m.advice = advice;
        write(m);
        report(e, m);
    });
    check_specifiers(e, fail);
}

// ---------------------------------------------------------------------------
// The rules of the whole catalogue

// A 64-bit FNV-1a hash: the whole-catalogue pass sorts numbers rather than
// strings, which keeps the compiler's work small. Translators' files record
// texts by this hash too (hecat's "hecat-base"), so it stays FNV-1a.
constexpr std::uint64_t hash(std::string_view s) {
    std::uint64_t h = 0xcbf29ce484222325u;
    for (const char c : s) h = (h ^ static_cast<unsigned char>(c)) * 0x100000001b3u;
    return h;
}

struct Keyed {
    std::uint64_t key;
    std::size_t index;
    constexpr bool operator<(const Keyed& o) const { return key != o.key ? key < o.key : index < o.index; }
};

// Entries that read the same on purpose (catalogue/same_texts.inc): each
// row puts an entry in the group of another, the group's first entry. A
// group is known by the index of its first row.
struct SameText {
    std::string_view name, as;
};
inline constexpr SameText kSameTexts[] = {
#define SAME_TEXT(Name, As) {#Name, #As},
#include "catalogue/same_texts.inc"
#undef SAME_TEXT
};

static_assert(
    [] {
        for (const auto& a : kSameTexts)
            for (const auto& b : kSameTexts)
                if (a.as == b.name || (&a != &b && a.name == b.name)) return false;
        return true;
    }(),
    "catalogue/same_texts.inc: each entry has one row, and the first entry of a group none");

// The rows' names hashed, and each row's group.
struct SameKey {
    std::uint64_t name, as;
    int group;
};
inline constexpr auto kSameKeys = [] {
    std::array<SameKey, std::size(kSameTexts)> out{};
    for (std::size_t i = 0; i < out.size(); ++i) {
        std::size_t first = 0;
        while (kSameTexts[first].as != kSameTexts[i].as) ++first;
        out[i] = {hash(kSameTexts[i].name), hash(kSameTexts[i].as), static_cast<int>(first)};
    }
    return out;
}();

// The group of texts that read the same an entry belongs to, or -1.
constexpr int group_of(std::string_view name) {
    const std::uint64_t key = hash(name);
    for (std::size_t i = 0; i < kSameKeys.size(); ++i)
        if ((kSameKeys[i].name == key && kSameTexts[i].name == name) || (kSameKeys[i].as == key && kSameTexts[i].as == name))
            return kSameKeys[i].group;
    return -1;
}

// Calls each(name) for every entry of group `g`, its first entry first.
template <class Each>
constexpr void each_in_group(int g, Each&& each) {
    each(kSameTexts[g].as);
    for (std::size_t i = 0; i < kSameKeys.size(); ++i)
        if (kSameKeys[i].group == g) each(kSameTexts[i].name);
}

// A name of the export list that has no row: reported with its name alone.
constexpr Entry only_name(std::string_view name) {
    Entry e{};
    e.name = name;
    return e;
}

// Where a name stands in a list sorted by key: the first index with that
// name, or npos.
template <class NameAt>
constexpr std::size_t position(const std::vector<Keyed>& sorted, std::string_view name, NameAt&& name_at) {
    const std::uint64_t key = hash(name);
    for (auto it = std::lower_bound(sorted.begin(), sorted.end(), Keyed{key, 0}); it != sorted.end() && it->key == key; ++it)
        if (name_at(it->index) == name) return it->index;
    return std::string_view::npos;
}

// The export list and the tables name the same entries, each once, each
// table in catalogue order; every entry the wording names has a row (a name
// mistyped there would hold nothing). Calls fail(entry, write) for each finding.
template <class Fail>
constexpr void check_names(std::span<const Entry> tables, std::span<const std::string_view> order, Fail&& fail) {
    std::vector<Keyed> listed, rows;
    for (std::size_t i = 0; i < order.size(); ++i) listed.push_back({hash(order[i]), i});
    for (std::size_t i = 0; i < tables.size(); ++i) rows.push_back({hash(tables[i].name), i});
    std::sort(listed.begin(), listed.end());
    std::sort(rows.begin(), rows.end());
    const auto listed_at = [&](std::string_view name) { return position(listed, name, [&](std::size_t i) { return order[i]; }); };
    const auto row_at = [&](std::string_view name) { return position(rows, name, [&](std::size_t i) { return tables[i].name; }); };
    for (std::size_t i = 0; i < order.size(); ++i) {
        if (listed_at(order[i]) != i)
            fail(only_name(order[i]), [](Message& m) { m << "is listed twice in exports/catalogue.txt"; });
        else if (row_at(order[i]) == std::string_view::npos)
            fail(only_name(order[i]), [](Message& m) { m << "is in exports/catalogue.txt but has no row in the tables"; });
    }
    const auto named = [&](std::string_view names) {
        wording::each_item(names, ' ', [&](std::string_view name) {
            if (row_at(name) == std::string_view::npos)
                fail(only_name(name), [](Message& m) { m << "is named in src/wording.inc but has no row in the tables"; });
        });
    };
    for (const auto& t : wording::kTerms) named(t.entries);
    for (const auto& f : wording::kForms) named(f.entries);
    struct Last {
        std::string_view family;
        const Entry* entry;
        std::size_t at;
    };
    std::vector<Last> last;  // the last row read of each table, and its place in the list
    for (std::size_t i = 0; i < tables.size(); ++i) {
        const Entry& e = tables[i];
        if (row_at(e.name) != i) fail(e, [](Message& m) { m << "has more than one row"; });
        const std::size_t at = listed_at(e.name);
        if (at == std::string_view::npos) {
            fail(e, [](Message& m) { m << "has a row but is not in exports/catalogue.txt"; });
            continue;
        }
        auto it = std::find_if(last.begin(), last.end(), [&](const Last& l) { return l.family == e.family; });
        if (it != last.end() && it->at > at)
            fail(e, [&](Message& m) { m << "stands after " << it->entry->name << " in its table but before it in exports/catalogue.txt"; });
        if (it == last.end()) last.push_back({e.family, &e, at});
        else *it = {e.family, &e, at};
    }
}

// Every entry named beside the tables, in catalogue/same_texts.inc and
// catalogue/exceptions.inc, has a row (a name mistyped there would hold
// nothing). Calls fail(entry, write) for each finding.
template <class Fail>
constexpr void check_named_beside(std::span<const Entry> identity, std::span<const Entry> tables, Fail&& fail) {
    std::vector<const Entry*> all;
    std::vector<Keyed> names;
    for (const auto* list : {&identity, &tables})
        for (const auto& e : *list) names.push_back({hash(e.name), all.size()}), all.push_back(&e);
    std::sort(names.begin(), names.end());
    const auto has_row = [&](std::string_view name, std::string_view file) {
        if (position(names, name, [&](std::size_t i) { return all[i]->name; }) != std::string_view::npos) return;
        fail(only_name(name), [&](Message& m) { m << "is named in " << file << " but has no row in the tables"; });
    };
    for (std::size_t i = 0; i < kSameKeys.size(); ++i) {
        has_row(kSameTexts[i].name, "src/catalogue/same_texts.inc");
        if (kSameKeys[i].group == static_cast<int>(i)) has_row(kSameTexts[i].as, "src/catalogue/same_texts.inc");
    }
    for (const auto& a : kAllowances) has_row(a.name, "src/catalogue/exceptions.inc");
}

// Equal texts: only the entries of one group of catalogue/same_texts.inc may
// read the same, and every entry of a group reads as its first quoted row
// (else its first row). Calls fail(entry, write) for each finding.
template <class Fail>
constexpr void check_equal_texts(std::span<const Entry> identity, std::span<const Entry> tables, Fail&& fail) {
    std::vector<const Entry*> all;
    for (const auto* list : {&identity, &tables})
        for (const auto& e : *list) all.push_back(&e);
    std::vector<int> group;
    std::vector<Keyed> texts;
    for (std::size_t i = 0; i < all.size(); ++i) {
        group.push_back(group_of(all[i]->name));
        texts.push_back({hash(all[i]->text), i});
    }
    std::sort(texts.begin(), texts.end());
    for (std::size_t i = 0; i < texts.size();) {
        std::size_t j = i + 1;
        while (j < texts.size() && texts[j].key == texts[i].key) ++j;
        const auto& first = *all[texts[i].index];
        bool one_group = group[texts[i].index] >= 0, any_written = false;
        for (std::size_t k = i; k < j; ++k) {
            one_group = one_group && group[texts[k].index] == group[texts[i].index];
            any_written = any_written || !all[texts[k].index]->quoted;
        }
        // Name the wording written for this module, which is the one a translator changes.
        for (std::size_t k = i; j - i > 1 && !one_group && k < j; ++k) {
            const Entry& e = *all[texts[k].index];
            if ((any_written ? e.quoted : k + 1 != j) || e.text != first.text) continue;
            fail(e, [&](Message& m) {
                m << "reads the same as another entry; entries with this text:";
                for (std::size_t x = i; x < j; ++x) m << " " << all[texts[x].index]->name;
            });
        }
        i = j;
    }
    for (int g = 0; g < static_cast<int>(kSameKeys.size()); ++g) {
        if (kSameKeys[static_cast<std::size_t>(g)].group != g) continue;
        std::size_t reference = all.size();
        for (std::size_t i = 0; i < all.size(); ++i)
            if (group[i] == g && (reference == all.size() || (!all[reference]->quoted && all[i]->quoted))) reference = i;
        for (std::size_t i = 0; i < all.size(); ++i) {
            if (group[i] != g || all[i]->text == all[reference]->text) continue;
            fail(*all[i], [&](Message& m) {
                m << "must read the same as " << all[reference]->name << ", as its whole group does (";
                each_in_group(g, [&, said = false](std::string_view name) mutable {
                    m << (said ? " " : "") << name;
                    said = true;
                });
                m << ")";
            });
        }
    }
}

// The export list against the tables, and the texts that must or must not
// read the same. Calls report(entry, message) for each finding; a name of the
// export list without a row is reported with an entry that has only a name.
template <class Report>
constexpr void check_catalogue(std::span<const Entry> identity, std::span<const Entry> tables,
                               std::span<const std::string_view> order, Report&& report) {
    const auto fail = [&](const Entry& e, auto&& write) {
        Message m;
        write(m);
        report(e, m);
    };
    check_names(tables, order, fail);
    check_named_beside(identity, tables, fail);
    check_equal_texts(identity, tables, fail);
}

// ---------------------------------------------------------------------------
// How the build applies the rules

// A report that keeps the first finding the build refuses (advice passes),
// as "file:line: Name: message"; empty when there is none.
struct FirstRefusal {
    Message message;
    constexpr void operator()(const Entry& e, const Message& m) {
        if (message.size != 0 || m.advice) return;
        if (!e.file.empty()) message << e.file << ":" << std::size_t{e.line} << ": ";
        message << e.name << ": " << m.view();
    }
};

// `fields`: the field captions, as the export list marks them.
consteval Message row_verdict(const Entry& e, std::span<const std::string_view> fields) {
    FirstRefusal first;
    check_entry(e, std::find(fields.begin(), fields.end(), e.name) != fields.end(), first);
    return first.message;
}

consteval Message catalogue_verdict(std::span<const Entry> identity, std::span<const Entry> tables,
                                    std::span<const std::string_view> order) {
    FirstRefusal first;
    check_catalogue(identity, tables, order, first);
    return first.message;
}

// Stops the build when a verdict holds a finding; the compiler prints the
// verdict in the line that names this function's instantiation.
template <Message Verdict>
constexpr bool passes() {
    static_assert(Verdict.size == 0, "a text breaks a rule: the message in the line above names the row and the rule");
    return true;
}

}  // namespace he::rules
