// The editor's menus as it shows them: the menu bar, each menu opened below
// its caption with its items and shortcut texts, each submenu on its own. A
// menu taller than the room below its caption is drawn in parts that fit.
#include <algorithm>
#include <cstdio>
#include <map>

#include "draw.h"
#include "model.h"

namespace he::shots {

namespace {

// Shortcut texts the editor shows beside some items: the kit's key names.
std::wstring shortcut(std::string_view name) {
    static const std::map<std::string_view, const char*> keys = {
        {"GetTrMnuNew", "N"}, {"GetTrMnuOpen", "O"}, {"GetTrMnuSave", "S"}, {"GetTrMnuPrint", "P"},
        {"GetTrMnuUndo", "Z"}, {"GetTrMnuCut", "X"}, {"GetTrMnuCopy", "C"}, {"GetTrMnuPaste", "V"},
        {"GetTrMnuSelAll", "A"}, {"GetTrMnuRedo", "Y"}};
    if (name == "GetTrMnuClear") return shown("GetMnuDel");
    if (name == "GetTrMnuFullScreen") return shown("GetMnuEnter");
    if (name == "GetTrMnuSaveAs") return shown("GetMnuCtrl") + shown("GetMnuShift") + L"S";
    const auto it = keys.find(name);
    return it == keys.end() ? std::wstring() : shown("GetMnuCtrl") + wide(it->second, CP_ACP);
}

// The items [from, to) of a menu as a popup menu, each submenu with all its items.
HMENU popup_of(const he::tool::MenuNode& node, std::size_t from, std::size_t to) {
    HMENU m = CreatePopupMenu();
    for (std::size_t i = from; i < to; ++i) {
        const auto& item = node.items[i];
        std::wstring text = shown(item.entry->name);
        const std::wstring keys = shortcut(item.entry->name);
        if (!keys.empty()) text += L"\t" + keys;
        if (item.items.empty()) AppendMenuW(m, MF_STRING, 1, text.c_str());
        else AppendMenuW(m, MF_POPUP, reinterpret_cast<UINT_PTR>(popup_of(item, 0, item.items.size())), text.c_str());
    }
    return m;
}

// A popup menu open while TrackPopupMenu runs. The timer reads where each
// item is and, when every item lies within the menu's window (one taller
// than the screen scrolls, hiding the rest), captures the frame and the menu
// together; then it closes the menu.
struct MenuShot {
    Index* index = nullptr;
    HWND frame = nullptr;
    HMENU popup = nullptr;
    std::string what;
    std::vector<Drawn> caption;           // the menu's caption in the menu bar, where the picture shows it
    std::vector<std::string_view> names;  // the popup's items
    std::vector<RECT> items;              // where each item is
    RECT window{};                        // the menu's own window
    bool whole = false;
} g_menu;

void CALLBACK menu_timer(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    pump(3);
    auto& m = g_menu;
    RECT area = window_rect(m.frame);
    for (HWND p = FindWindowW(L"#32768", nullptr); p != nullptr; p = FindWindowExW(nullptr, p, L"#32768", nullptr)) {
        if (!IsWindowVisible(p)) continue;
        m.window = window_rect(p);
        UnionRect(&area, &area, &m.window);
    }
    m.items.assign(m.names.size(), RECT{});
    for (std::size_t k = 0; k < m.items.size(); ++k) GetMenuItemRect(nullptr, m.popup, static_cast<UINT>(k), &m.items[k]);
    m.whole = std::all_of(m.items.begin(), m.items.end(), [&](const RECT& r) { return within(r, m.window); });
    if (m.whole) {
        std::vector<Drawn> entries = m.caption;
        for (std::size_t k = 0; k < m.items.size(); ++k) entries.push_back({m.names[k], m.items[k]});
        m.index->add(m.caption.empty() ? "submenu" : "menu", m.what, entries, area);
    }
    EndMenu();
}

// The items [from, to) of a menu opened at (x, y); true if drawn whole, and pictured.
bool open_menu(const he::tool::MenuNode& node, std::size_t from, std::size_t to, int x, int y) {
    g_menu.names.clear();
    for (std::size_t i = from; i < to; ++i) g_menu.names.push_back(node.items[i].entry->name);
    g_menu.popup = popup_of(node, from, to);
    g_menu.whole = false;
    SetTimer(nullptr, 0, 150, menu_timer);
    TrackPopupMenu(g_menu.popup, TPM_LEFTALIGN | TPM_TOPALIGN, x, y, 0, g_menu.frame, nullptr);
    pump(2);
    DestroyMenu(g_menu.popup);
    return g_menu.whole;
}

// A menu opened at (x, y) in one picture; one taller than the room below
// (x, y) in parts that each fit there, each its own picture ("1 of 2").
void menu_pictures(const he::tool::MenuNode& node, std::vector<Drawn> caption, int x, int y, const std::string& what) {
    g_menu.caption = std::move(caption);
    g_menu.what = what;
    const std::size_t n = node.items.size();
    if (open_menu(node, 0, n, x, y)) return;
    // Where the whole menu put its items tells their heights, and the room
    // its window takes above the first.
    const std::vector<RECT> items = g_menu.items;
    const int room = screen().bottom - y - 2 * (items[0].top - g_menu.window.top);
    std::vector<std::size_t> starts{0};
    for (std::size_t k = 1; k < n; ++k)
        if (items[k].bottom - items[starts.back()].top > room) starts.push_back(k);
    starts.push_back(n);
    const std::size_t parts = starts.size() - 1;
    std::printf("shots: %s is taller than the screen: drawn in %zu parts\n", what.c_str(), parts);
    for (std::size_t p = 0; p < parts; ++p) {
        g_menu.what = what + " (" + std::to_string(p + 1) + " of " + std::to_string(parts) + ")";
        if (open_menu(node, starts[p], starts[p + 1], x, y)) continue;
        std::fprintf(stderr, "shots: %s does not fit on the screen\n", g_menu.what.c_str());
        g_menu.index->failed = true;
    }
}

}  // namespace

void menus(Index& index) {
    const auto tree = he::tool::menu_tree(he::table_entries());
    HMENU bar = CreateMenu();
    for (const auto& m : tree) AppendMenuW(bar, MF_STRING, 1, shown(m.entry->name).c_str());
    HWND w = frame(L"Imbrosia", 900, 420, bar);
    pump();
    std::vector<Drawn> captions;
    for (std::size_t i = 0; i < tree.size(); ++i) {
        RECT r{};
        GetMenuItemRect(w, bar, static_cast<UINT>(i), &r);
        captions.push_back({tree[i].entry->name, r});
    }
    index.add("menu-bar", "The menu bar", captions, window_rect(w));
    g_menu.index = &index;
    g_menu.frame = w;
    for (std::size_t i = 0; i < tree.size(); ++i) {
        if (tree[i].items.empty()) continue;
        const RECT& at = captions[i].where;
        const std::string menu = english(*tree[i].entry);
        menu_pictures(tree[i], {captions[i]}, at.left, at.bottom, "Menu: " + menu);
        for (const auto& item : tree[i].items)
            if (!item.items.empty())
                menu_pictures(item, {}, at.left + 40, at.bottom + 40, "Submenu: " + menu + " > " + english(*item.entry));
    }
    DestroyWindow(w);
}

}  // namespace he::shots
