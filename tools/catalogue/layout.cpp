// One line laid out by GNU FriBidi (layout.h).
#include "layout.h"

#include <fribidi.h>

#include <algorithm>
#include <cctype>

namespace he::tool {
namespace {

std::u32string decode(std::string_view s) {
    std::u32string out(s.size() + 1, U'\0');
    const auto n = fribidi_charset_to_unicode(FRIBIDI_CHAR_SET_UTF8, s.data(), static_cast<FriBidiStrIndex>(s.size()),
                                              reinterpret_cast<FriBidiChar*>(out.data()));
    out.resize(static_cast<std::size_t>(n));
    return out;
}

std::string encode(const std::u32string& s) {
    std::string out(s.size() * 4 + 1, '\0');
    const auto n = fribidi_unicode_to_charset(FRIBIDI_CHAR_SET_UTF8, reinterpret_cast<const FriBidiChar*>(s.data()),
                                              static_cast<FriBidiStrIndex>(s.size()), out.data());
    out.resize(static_cast<std::size_t>(n));
    return out;
}

bool is_hebrew(char32_t c) { return c >= 0x5D0 && c <= 0x5EA; }
bool is_bracket(char32_t c) { return c == U'(' || c == U')' || c == U'<' || c == U'>' || c == U'[' || c == U']'; }
char32_t mirror(char32_t c) {
    switch (c) {
        case U'(': return U')';
        case U')': return U'(';
        case U'<': return U'>';
        case U'>': return U'<';
        case U'[': return U']';
        case U']': return U'[';
        default: return c;
    }
}

}  // namespace

std::string visual_order(std::string_view line, bool right_to_left) {
    const std::u32string logical = decode(line);
    if (logical.empty()) return {};
    std::u32string visual(logical.size() + 1, U'\0');
    FriBidiParType base = right_to_left ? FRIBIDI_PAR_RTL : FRIBIDI_PAR_LTR;
    fribidi_log2vis(reinterpret_cast<const FriBidiChar*>(logical.data()), static_cast<FriBidiStrIndex>(logical.size()),
                    &base, reinterpret_cast<FriBidiChar*>(visual.data()), nullptr, nullptr, nullptr);
    visual.resize(logical.size());
    return encode(visual);
}

std::string visual_order(std::string_view line) { return visual_order(line, false); }

std::vector<Run> reading_runs(std::string_view line) {
    const std::u32string logical = decode(line);
    if (std::none_of(logical.begin(), logical.end(), is_hebrew)) return {{encode(logical), true}};
    std::u32string r = decode(visual_order(line));
    std::reverse(r.begin(), r.end());
    for (auto& c : r) c = mirror(c);
    const auto ltr = [](char32_t c) { return !is_hebrew(c) && c != U' ' && !is_bracket(c); };
    std::vector<Run> runs;
    for (std::size_t i = 0; i < r.size();) {
        std::size_t j = i;
        if (!ltr(r[i])) {
            while (j < r.size() && !ltr(r[j])) ++j;
            runs.push_back({encode(r.substr(i, j - i)), false});
        } else {
            // A run of Latin words goes on across the blank between two of them.
            const auto word = [](char32_t c) { return c < 0x80 && std::isalnum(static_cast<int>(c)); };
            for (std::size_t k = j; k < r.size(); ++k) {
                const bool joins = r[k] == U' ' && k > 0 && k + 1 < r.size() && word(r[k - 1]) && word(r[k + 1]);
                if (!ltr(r[k]) && !joins) break;
                j = k + 1;
            }
            std::u32string run = r.substr(i, j - i);
            std::reverse(run.begin(), run.end());
            runs.push_back({encode(run), true});
        }
        i = j;
    }
    return runs;
}

std::string reading_order(std::string_view line) {
    std::string reading;
    for (const auto& run : reading_runs(line)) reading += run.utf8;
    // A mark between a Hebrew run and a Latin one can settle on the other
    // side of the Latin word in a right-to-left box ("מ-Imbrosia" read as
    // "מImbrosia-"). There the reading is the shown line laid out right to
    // left once more, which a right-to-left box turns back into the same
    // glyphs.
    // (A template's placeholders, tagged as tokens, keep the first reading.)
    const std::string shown = visual_order(line, false);
    if (line.find('%') != std::string_view::npos || visual_order(reading, true) == shown) return reading;
    const std::string other = visual_order(shown, true);
    return visual_order(other, true) == shown ? other : reading;
}

std::string per_line(std::string_view utf8, std::string (*fn)(std::string_view)) {
    std::string out;
    for (std::size_t start = 0;;) {
        const auto cr = utf8.find('\r', start);
        out += fn(utf8.substr(start, cr - start));
        if (cr == std::string_view::npos) return out;
        out += '\r';
        start = cr + 1;
    }
}

}  // namespace he::tool
