// The catalogue as the maintainers' tool sees it (model.h).
#include "model.h"

#include <algorithm>
#include <map>

#include "arguments.h"

namespace he::tool {
unsigned ordinal_of(const Catalogue& c, std::string_view name) {
    const auto it = std::find(c.by_ordinal.begin(), c.by_ordinal.end(), name);
    return it == c.by_ordinal.end() ? 0 : static_cast<unsigned>(it - c.by_ordinal.begin()) + 1;
}

std::map<std::string_view, const Entry*> rows_by_name(const Catalogue& c) {
    std::map<std::string_view, const Entry*> rows;
    for (const auto& e : c.rows) rows[e.name] = &e;
    return rows;
}

std::vector<Item> items(const Catalogue& c) {
    const auto rows = rows_by_name(c);
    std::vector<Item> out;
    for (const auto& e : c.identity) out.push_back({&e, ordinal_of(c, e.name)});
    for (auto name : c.order)
        if (const auto it = rows.find(name); it != rows.end()) out.push_back({it->second, ordinal_of(c, name)});
    return out;
}

Family family_of(const Entry& e) {
    // Every row's family is in the table: the build checks it.
    return find_family(e.family).value();
}

std::string fill_sample(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const Specifier s = text[i] == '%' ? specifier_at(text, i) : Specifier{};
        if (s.length == 0) {
            out += text[i];
            continue;
        }
        const std::string_view c = s.conversion;
        out += c == "%" ? "%" : c == "d" ? "42" : c == "s" ? "photo.jpg" : c == "f" ? "3.140000" : "3.14";
        i += s.length - 1;
    }
    return out;
}

std::string escaped(std::string_view text, std::initializer_list<std::pair<char, std::string_view>> escapes) {
    std::string out;
    for (const char c : text) {
        const auto it = std::find_if(escapes.begin(), escapes.end(), [&](const auto& e) { return e.first == c; });
        if (it == escapes.end()) out += c;
        else out += it->second;
    }
    return out;
}

std::string visible(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        if (c == '\r' || c == '\n') {
            out += "\u23CE";
            if (c == '\r' && i + 1 < utf8.size() && utf8[i + 1] == '\n') ++i;
        } else if (c < 0x20 || c == 0x7F) {
            const unsigned picture = c == 0x7F ? 0x2421u : 0x2400u + c;  // three bytes in UTF-8
            out += static_cast<char>(0xE0 | (picture >> 12));
            out += static_cast<char>(0x80 | ((picture >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (picture & 0x3F));
        } else {
            out += utf8[i];
        }
    }
    return out;
}

std::string quoted(std::string_view text, std::initializer_list<std::pair<char, std::string_view>> escapes) {
    std::string out(1, '"');
    out += escaped(text, escapes);
    out += '"';
    return out;
}

namespace {

// The captions that open the editor's menus, and the submenu captions with
// the number of items that follow them.
constexpr std::string_view kMenuCaptions[] = {
    "GetTrMnuFile", "GetTrMnuEdit", "GetTrMnuSelection", "GetTrMnuImage", "GetTrMnuAdjust", "GetTrMnuFilter",
    "GetTrMnuTools", "GetTrMnuView", "GetTrMnuWindow", "GetTrMnuHelp", "GetTrMnuExplore",
    "GetTrMnuCustomFilter", "GetTrMnuRadialMask"};
constexpr std::pair<std::string_view, std::size_t> kSubmenus[] = {
    {"GetTrMnuTwain", 3}, {"GetTrMnuPurge", 3}, {"GetTrMnuSelRatio", 5}, {"GetTrMnuMode", 2},
    {"GetTrMnuRotate", 1}, {"GetTrMnuTexture", 15}, {"GetTrMnuFog", 2}, {"GetTrMnuWatercolor", 2},
    {"GetTrMnuPastels", 2}, {"GetTrMnuScanlines", 2}, {"GetTrMnuWallpaper", 3}, {"GetTrMnuExpDir", 6}};

}  // namespace

std::vector<MenuNode> menu_tree(std::span<const Entry> rows) {
    std::vector<MenuNode> menus;
    std::size_t submenu_left = 0;
    for (const auto& e : rows) {
        if (family_of(e).control != Control::menu) continue;
        const bool opens_menu = std::find(std::begin(kMenuCaptions), std::end(kMenuCaptions), e.name) != std::end(kMenuCaptions);
        if (opens_menu || menus.empty()) {
            menus.push_back({&e, {}});
            submenu_left = 0;
            continue;
        }
        auto& items = menus.back().items;
        if (submenu_left > 0) {
            items.back().items.push_back({&e, {}});
            --submenu_left;
            continue;
        }
        items.push_back({&e, {}});
        for (const auto& [caption, count] : kSubmenus)
            if (caption == e.name) submenu_left = count;
    }
    return menus;
}

}  // namespace he::tool
