// The glossary and the forms of the wording (wording.inc) as checks of one
// row: which word a recurring concept takes, and the forms named entries
// take. rules.h applies them to every row, for the build and for hecat alike.
//
// Words are matched whole, on the text as written (UTF-8): a text is split
// at its blanks and line breaks, the marks around a word (brackets, parentheses, the colon
// and the closing marks) are not part of it, a hyphen is. A form's first word
// may carry one or two of the prefixed letters ו ה ב כ ל מ ש.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <string_view>

namespace he::rules::wording {

enum class Kind { is, begins, ends, has, lacks, only, line };

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
#define LINE line
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
#undef LINE

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

// Every entry a term or a form names, sorted by name, with the rule's index:
// a term's place in kTerms, or size(kTerms) plus a form's place in kForms.
// Built once; a row finds the rules that name it in a few comparisons, which
// keeps the compiler's work for each row small.
struct Naming {
    std::string_view name;
    std::size_t rule;
};

template <class Each>
constexpr void each_naming(Each&& each) {
    std::size_t rule = 0;
    for (const Term& t : kTerms) each_item(t.entries, ' ', [&](std::string_view n) { each(n, rule); }), ++rule;
    for (const Form& f : kForms) each_item(f.entries, ' ', [&](std::string_view n) { each(n, rule); }), ++rule;
}

inline constexpr auto kNamings = [] {
    constexpr std::size_t count = [] {
        std::size_t n = 0;
        each_naming([&](std::string_view, std::size_t) { ++n; });
        return n;
    }();
    std::array<Naming, count> out{};
    std::size_t i = 0;
    each_naming([&](std::string_view name, std::size_t rule) { out[i++] = {name, rule}; });
    std::sort(out.begin(), out.end(), [](const Naming& a, const Naming& b) { return a.name < b.name; });
    return out;
}();

// The rules that name an entry: a stretch of kNamings.
struct Named {
    std::size_t from = 0, to = 0;
    constexpr bool operator()(std::size_t rule) const {
        for (std::size_t i = from; i < to; ++i)
            if (kNamings[i].rule == rule) return true;
        return false;
    }
};

constexpr Named rules_naming(std::string_view name) {
    const auto less = [](const Naming& n, std::string_view v) { return n.name < v; };
    const auto from = std::lower_bound(kNamings.begin(), kNamings.end(), name, less);
    auto to = from;
    while (to != kNamings.end() && to->name == name) ++to;
    return {static_cast<std::size_t>(from - kNamings.begin()), static_cast<std::size_t>(to - kNamings.begin())};
}

// The words of a text, without the marks around them.
struct Words {
    std::array<std::string_view, 72> word{};
    std::size_t count = 0;
};

constexpr bool mark(char c) {
    switch (c) {
    case '(': case ')': case '<': case '>': case '[': case ']': case ':': case ';':
    case ',': case '.': case '!': case '?': case '"': case '\'':
        return true;
    default:
        return false;
    }
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
        if (p[i] != '\xD7') return false;
        switch (p[i + 1]) {
        case '\x95': case '\x94': case '\x91': case '\x9B': case '\x9C': case '\x9E': case '\xA9':  // ו ה ב כ ל מ ש
            break;
        default:
            return false;
        }
    }
    return true;
}

// Whether the text holds the form (one or more words, blank-separated) as
// whole words.
constexpr bool holds(const Words& text, std::string_view form) {
    std::array<std::string_view, 6> f{};
    std::size_t n = 0;
    each_item(form, ' ', [&](std::string_view word) {
        if (n < f.size()) f[n++] = word;
    });
    if (n == 0) return false;
    for (std::size_t i = 0; i + n <= text.count; ++i) {
        const std::string_view first = text.word[i];
        bool match = first == f[0] || (first.size() > f[0].size() && first.ends_with(f[0]) &&
                                       prefixed_letters(first.substr(0, first.size() - f[0].size())));
        for (std::size_t k = 1; match && k < n; ++k) match = text.word[i + k] == f[k];
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

// Every other choice of every term, by its first word, built once: a row
// looks each of its words up (as written, and without one or two prefixed
// letters) instead of trying every other choice in turn.
struct Other {
    std::string_view first;  // the first word of the other choice
    std::string_view form;   // the whole other choice
    std::size_t term;
};

template <class Each>
constexpr void each_other(Each&& each) {
    for (std::size_t t = 0; t < std::size(kTerms); ++t)
        each_item(kTerms[t].others, ',', [&](std::string_view form) {
            std::size_t end = 0;
            while (end < form.size() && form[end] != ' ') ++end;
            each(Other{form.substr(0, end), form, t});
        });
}

inline constexpr auto kOthers = [] {
    constexpr std::size_t count = [] {
        std::size_t n = 0;
        each_other([&](const Other&) { ++n; });
        return n;
    }();
    std::array<Other, count> out{};
    std::size_t i = 0;
    each_other([&](const Other& o) { out[i++] = o; });
    std::sort(out.begin(), out.end(), [](const Other& a, const Other& b) { return a.first < b.first; });
    return out;
}();

// For each term, the first other choice the text holds, or empty.
constexpr std::array<std::string_view, std::size(kTerms)> others_held(const Words& text) {
    std::array<std::string_view, std::size(kTerms)> held{};
    for (std::size_t i = 0; i < text.count; ++i) {
        const std::string_view w = text.word[i];
        for (std::size_t cut = 0; cut <= 4 && cut < w.size(); cut += 2) {
            if (cut > 0 && !prefixed_letters(w.substr(0, cut))) break;
            const std::string_view bare = w.substr(cut);
            auto it = std::lower_bound(kOthers.begin(), kOthers.end(), bare,
                                       [](const Other& o, std::string_view v) { return o.first < v; });
            for (; it != kOthers.end() && it->first == bare; ++it) {
                if (!held[it->term].empty()) continue;
                // The rest of a several-word choice follows word for word.
                std::size_t k = it->first.size(), next = i + 1;
                bool match = true;
                while (match && k < it->form.size()) {
                    std::size_t end = ++k;
                    while (end < it->form.size() && it->form[end] != ' ') ++end;
                    match = next < text.count && text.word[next++] == it->form.substr(k, end - k);
                    k = end;
                }
                if (match) held[it->term] = it->form;
            }
        }
    }
    return held;
}

constexpr bool governs(std::string_view family, std::string_view row_family) {
    return family.empty() || family == row_family;
}

// Calls fail(advice, write) for each form the row breaks: `advice` is true
// for what is reported but does not stop the build; write(Message&) says
// what is wrong and what is expected.
template <class Message, class Fail>
constexpr void check_row(std::string_view name, std::string_view family, std::string_view utf8, bool quoted, Fail&& fail) {
    const Named named_by = rules_naming(name);
    if (quoted && named_by.from == named_by.to) return;  // quoted and named by no rule
    const Words text = words_of(utf8);
    const auto others = !quoted ? others_held(text) : std::array<std::string_view, std::size(kTerms)>{};
    std::size_t rule = 0;
    for (const Term& t : kTerms) {
        const bool named = named_by(rule);
        const std::string_view other = others[rule++];
        if (!named && other.empty()) continue;
        const auto where = [&](Message& m) -> Message& {
            return m << (t.family.empty() ? "the catalogue" : t.family == "menus" ? "the menu captions" : "the labels");
        };
        if (named && first_held(text, t.forms).empty())
            fail(!t.required, [&](Message& m) {
                where(m << t.name << " is \"" << t.forms << "\" in ") << "; this text lacks it (src/wording.inc)";
            });
        if (!other.empty() && governs(t.family, family))
            fail(!t.required, [&](Message& m) {
                where(m << t.name << " is \"" << t.forms << "\" in ") << ", not \"" << other << "\" (src/wording.inc)";
            });
    }
    for (const Form& f : kForms) {
        const bool named = named_by(rule++);
        if (!named && f.kind != Kind::only) continue;
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
        case Kind::line: {
            bool opens = false;
            each_item(f.form, ',', [&](std::string_view form) { opens = opens || (text.count > 0 && text.word[0] == form); });
            broken = named && !opens;
            break;
        }
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
            case Kind::line: m << ": it should open with one of \""; break;
            }
            m << f.form << "\"";
            if (f.kind == Kind::only && !named) m << " (" << f.entries << ")";
            m << " (src/wording.inc)";
        });
    }
}

}  // namespace he::rules::wording
