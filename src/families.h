// What a family of texts is: the rows of families.inc as data, for the rules
// of the texts, hecat and the picture tool.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

namespace he {

// No text of the module is longer; the copy routines are written for it.
inline constexpr std::size_t kLongestText = 129;

// What may begin and end a text, beyond the rules of every text.
enum class Ends {
    free,  // what the rules of every text allow
    bare,  // no colon first (a field caption's excepted), no closing mark last
};

// What wording written for this module is made of.
enum class Wording {
    any,
    letters,  // Hebrew letters and single blanks only
    hebrew,   // a Hebrew letter at least, and no %
};

// The kind of control that shows a family's texts.
enum class Control { none, menu, choice, dialog, message_box, status_bar, tooltip, button };

struct Family {
    std::string_view name;          // as the tables and hecat name it
    std::string_view noun;          // one text of the family, for messages
    std::size_t shortest, longest;  // in Windows-1255 bytes
    bool line_breaks;               // may hold CR
    bool degree_sign;               // may hold the degree sign
    Ends ends;
    Wording wording;  // of the texts written for this module
    Control control;
    std::string_view shown_in;  // where the editor shows it, in words for translators
};

inline constexpr Family kFamilies[] = {
#define TEXT_FAMILY(NAME, NOUN, SHORTEST, LONGEST, BREAKS, DEGREE, ENDS, WORDING, CONTROL, SHOWN) \
    {#NAME, NOUN, SHORTEST, LONGEST, BREAKS, DEGREE, Ends::ENDS, Wording::WORDING, Control::CONTROL, SHOWN},
#include "families.inc"
};

static_assert(
    [] {
        for (const auto& f : kFamilies)
            if (f.shortest > f.longest || f.longest > kLongestText) return false;
        return true;
    }(),
    "every family's texts are 0 to kLongestText bytes");

// The family of that name, if there is one. (An optional rather than a
// pointer: GCC cannot compare a pointer with null in the compiler when the
// undefined-behaviour sanitizer instruments it.)
constexpr std::optional<Family> find_family(std::string_view name) {
    for (const auto& f : kFamilies)
        if (f.name == name) return f;
    return std::nullopt;
}

}  // namespace he
