#include "glossary.h"

extern const char kGlossary[];  // docs/glossary.md, embedded by the build

namespace he::tool {
namespace {

std::string trim(std::string_view s) {
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    return std::string(s);
}

std::vector<std::string> split(std::string_view s, char by) {
    std::vector<std::string> out;
    for (std::size_t start = 0;;) {
        const auto end = s.find(by, start);
        if (auto piece = trim(s.substr(start, end - start)); !piece.empty()) out.push_back(piece);
        if (end == std::string_view::npos) return out;
        start = end + 1;
    }
}

}  // namespace

std::vector<Concept> parse_glossary(std::string_view markdown) {
    std::vector<Concept> out;
    bool header_seen = false;
    for (const auto& line : split(markdown, '\n')) {
        if (!line.starts_with("|")) continue;
        if (line.starts_with("|---")) {
            header_seen = true;
            continue;
        }
        if (!header_seen) continue;
        const auto cells = split(std::string_view(line).substr(1, line.size() - 2), '|');
        if (cells.size() != 5) continue;
        out.push_back({cells[0], cells[1], split(cells[2], ','), split(cells[3], ','), split(cells[4], ',')});
    }
    return out;
}

const std::vector<Concept>& glossary() {
    static const std::vector<Concept> concepts = parse_glossary(kGlossary);
    return concepts;
}

std::vector<Warning> glossary_warnings(std::span<const Entry> rows, const std::vector<Concept>& concepts) {
    std::vector<Warning> out;
    for (const auto& e : rows) {
        if (!e.open) continue;
        for (const auto& c : concepts)
            for (const auto& other : c.others)
                if (e.utf8.find(other) != std::string_view::npos)
                    out.push_back({&e, "uses \"" + other + "\", which docs/glossary.md gives as the other choice for " +
                                           c.name + "; its term is \"" + c.terms.front() + "\""});
    }
    return out;
}

}  // namespace he::tool
