// The glossary and the forms of the wording (wording.inc) as checks of one
// row: which word a recurring concept takes, and the forms named entries
// take. rules.h applies them to every row, for the build and for hecat alike.
//
// Words are matched whole, on the text as written (UTF-8): a text is split
// at its blanks and line breaks, the marks around a word (brackets, parentheses, the colon
// and the closing marks) are not part of it, a hyphen is. A form's first word
// may carry one or two of the prefixed letters ו ה ב כ ל מ ש.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

namespace he::rules::wording {

enum class Kind { is, begins, ends, has, lacks, only };

struct Term {
    std::string_view name;  // the concept
    std::string_view family;  // empty: every family
    std::string_view forms, others, entries;
    bool required;
};

struct Form {
    Kind kind;
    std::string_view entries, form, why;
};

#define REQUIRED(Concept, Family, Forms, Others, Entries) {Concept, Family, Forms, Others, Entries, true},
#define ADVISED(Concept, Family, Forms, Others, Entries) {Concept, Family, Forms, Others, Entries, false},
#define FORM(K, Entries, Text, Why)
inline constexpr Term kTerms[] = {
#include "wording.inc"
};
#undef REQUIRED
#undef ADVISED
#undef FORM

#define REQUIRED(Concept, Family, Forms, Others, Entries)
#define ADVISED(Concept, Family, Forms, Others, Entries)
#define FORM(K, Entries, Text, Why) {Kind::K, Entries, Text, Why},
#define IS is
#define BEGINS begins
#define ENDS ends
#define HAS has
#define LACKS lacks
#define ONLY only
inline constexpr Form kForms[] = {
#include "wording.inc"
};
#undef REQUIRED
#undef ADVISED
#undef FORM
#undef IS
#undef BEGINS
#undef ENDS
#undef HAS
#undef LACKS
#undef ONLY

// Calls each(item) for each item of a list, the items separated by `by` and
// the blanks around them dropped.
template <class Each>
constexpr void each_item(std::string_view list, char by, Each&& each) {
    for (std::size_t at = 0; at < list.size();) {
        std::size_t end = at;
        while (end < list.size() && list[end] != by) ++end;
        std::string_view item = list.substr(at, end - at);
        while (!item.empty() && item.front() == ' ') item.remove_prefix(1);
        while (!item.empty() && item.back() == ' ') item.remove_suffix(1);
        if (!item.empty()) each(item);
        at = end + 1;
    }
}

constexpr bool listed(std::string_view names, std::string_view name) {
    bool found = false;
    each_item(names, ' ', [&](std::string_view n) { found = found || n == name; });
    return found;
}

// The words of a text, without the marks around them.
struct Words {
    std::array<std::string_view, 80> word{};
    std::size_t count = 0;
};

constexpr bool mark(char c) {
    for (const char m : std::string_view("()<>[]:;,.!?\"'"))
        if (c == m) return true;
    return false;
}

// Words end at blanks and line breaks.
constexpr Words words_of(std::string_view text) {
    Words w;
    for (std::size_t at = 0; at < text.size();) {
        std::size_t end = at;
        while (end < text.size() && text[end] != ' ' && text[end] != '\r') ++end;
        std::string_view item = text.substr(at, end - at);
        while (!item.empty() && mark(item.front())) item.remove_prefix(1);
        while (!item.empty() && mark(item.back())) item.remove_suffix(1);
        if (!item.empty() && w.count < w.word.size()) w.word[w.count++] = item;
        at = end + 1;
    }
    return w;
}

// The letters that a Hebrew word may carry before it: and, the, in, as, to,
// from, that (UTF-8, two bytes each).
constexpr bool prefixed_letters(std::string_view p) {
    if (p.empty() || p.size() > 4 || p.size() % 2 != 0) return false;
    for (std::size_t i = 0; i < p.size(); i += 2) {
        bool known = false;
        for (const std::string_view letter : {"ו", "ה", "ב", "כ", "ל", "מ", "ש"}) known = known || p.substr(i, 2) == letter;
        if (!known) return false;
    }
    return true;
}

// Whether the text holds the form (one or more words) as whole words.
constexpr bool holds(const Words& text, std::string_view form) {
    const Words f = words_of(form);
    if (f.count == 0) return false;
    for (std::size_t i = 0; i + f.count <= text.count; ++i) {
        const std::string_view first = text.word[i];
        bool match = first == f.word[0] ||
                     (first.ends_with(f.word[0]) && prefixed_letters(first.substr(0, first.size() - f.word[0].size())));
        for (std::size_t k = 1; match && k < f.count; ++k) match = text.word[i + k] == f.word[k];
        if (match) return true;
    }
    return false;
}

// The first of a comma-separated list of forms that the text holds, or empty.
constexpr std::string_view first_held(const Words& text, std::string_view forms) {
    std::string_view found;
    each_item(forms, ',', [&](std::string_view form) {
        if (found.empty() && holds(text, form)) found = form;
    });
    return found;
}

constexpr bool governs(std::string_view family, std::string_view row_family) {
    return family.empty() || family == row_family;
}

// Calls fail(advice, write) for each form the row breaks: `advice` is true
// for what is reported but does not stop the build; write(Message&) says
// what is wrong and what is expected.
template <class Message, class Fail>
constexpr void check_row(std::string_view name, std::string_view family, std::string_view utf8, bool open, Fail&& fail) {
    const Words text = words_of(utf8);
    for (const Term& t : kTerms) {
        const auto where = [&](Message& m) -> Message& {
            return m << (t.family.empty() ? "the catalogue" : t.family == "menus" ? "the menu captions" : "the labels");
        };
        if (listed(t.entries, name) && first_held(text, t.forms).empty())
            fail(!t.required, [&](Message& m) {
                where(m << t.name << " is \"" << t.forms << "\" in ") << "; this text lacks it (src/wording.inc)";
            });
        if (!open || !governs(t.family, family)) continue;
        if (const std::string_view other = first_held(text, t.others); !other.empty())
            fail(!t.required, [&](Message& m) {
                where(m << t.name << " is \"" << t.forms << "\" in ") << ", not \"" << other << "\" (src/wording.inc)";
            });
    }
    for (const Form& f : kForms) {
        const bool named = listed(f.entries, name);
        bool broken = false;
        switch (f.kind) {
        case Kind::is: broken = named && utf8 != f.form; break;
        case Kind::begins: broken = named && !utf8.starts_with(f.form); break;
        case Kind::has: broken = named && !holds(text, f.form); break;
        case Kind::lacks: broken = named && holds(text, f.form); break;
        case Kind::ends: {
            bool ends = false;
            each_item(f.form, ',', [&](std::string_view form) { ends = ends || (text.count > 0 && text.word[text.count - 1] == form); });
            broken = named && !ends;
            break;
        }
        case Kind::only: broken = named != utf8.starts_with(f.form); break;
        }
        if (!broken) continue;
        fail(false, [&](Message& m) {
            m << f.why;
            switch (f.kind) {
            case Kind::is: m << ": it should read \""; break;
            case Kind::begins: m << ": it should begin with \""; break;
            case Kind::ends: m << ": it should end in one of \""; break;
            case Kind::has: m << ": it should hold \""; break;
            case Kind::lacks: m << ": it should not hold \""; break;
            case Kind::only: m << (named ? ": it should begin with \"" : ": no other entry than these begins with \""); break;
            }
            m << f.form << "\"";
            if (f.kind == Kind::only && !named) m << " (" << f.entries << ")";
            m << " (src/wording.inc)";
        });
    }
}

}  // namespace he::rules::wording
