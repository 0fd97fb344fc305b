// The reading of a stored text and back (reading.h).
#include "reading.h"

#include <vector>

#include "arguments.h"
#include "layout.h"

namespace he::tool {
namespace {

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

// The text with its specifiers as tokens; numbered ones keep their numbers,
// plain ones are numbered in the order they stand.
std::optional<Tagged> tag(std::string_view text) {
    Tagged out;
    unsigned next = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const Specifier s = text[i] == '%' ? specifier_at(text, i) : Specifier{};
        if (s.length == 0) {
            out.text += text[i];
            continue;
        }
        i += s.length - 1;
        if (s.conversion == "%") {
            out.text += "%%";
            continue;
        }
        const unsigned k = s.argument != 0 ? s.argument : ++next;
        if (k > 9) return std::nullopt;
        const std::size_t slot = k - 1;
        if (out.conversions.size() <= slot) out.conversions.resize(slot + 1);
        if (!out.conversions[slot].empty() && out.conversions[slot] != s.conversion) return std::nullopt;
        out.conversions[slot] = s.conversion;
        const char token[] = {'%', static_cast<char>('A' + k - 1), '\0', '%', '9', static_cast<char>('0' + k), '9', '\0'};
        out.text += s.conversion == "s" ? token : token + 3;
    }
    return out;
}

// The tokens back as specifiers, plain or numbered; `in_order` tells
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
        out += '%';
        if (positional) out.append(std::to_string(k)).append(1, '$');
        out += conversion;
        i = j;
    }
    return out;
}

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

std::string canonical(std::string_view reading) {
    const auto tagged = tag(reading);
    if (!tagged) return std::string(reading);
    bool in_order = true;
    const std::string plain = untag(tagged->text, tagged->conversions, false, in_order);
    return in_order ? plain : std::string(reading);
}

std::string reading_of(std::string_view stored, bool is_template) {
    const auto tagged = is_template ? tag(stored) : std::nullopt;
    if (!tagged) return per_line(stored, reading_order);
    const std::string reading = per_line(tagged->text, reading_order);
    bool in_order = true;
    const std::string plain = untag(reading, tagged->conversions, false, in_order);
    return in_order ? plain : untag(reading, tagged->conversions, true, in_order);
}

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

}  // namespace he::tool
