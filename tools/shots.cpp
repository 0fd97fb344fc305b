// Pictures of every text of DLLTranslation_HE.dll in the kind of Windows
// control that shows it, for a reviewer.
//   shots.exe OUTDIR FONT      one BMP per picture, and OUTDIR/index.tsv:
//                              file, what it shows, the entries in it
//   shots.exe --setup FONT     Wine draws the windows' frames itself (there is
//                              no window manager on a virtual display)
// Texts are read from the DLL, as the editor reads them, and turned from
// code page 1255 into the system's wide characters.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/table.h"
#include "model.h"

namespace {

using Export = char*(WINAPI*)(char*, int);

HMODULE g_dll = nullptr;
std::wstring g_font = L"DejaVu Sans";
HFONT g_ui_font = nullptr;

std::wstring wide(std::string_view s, UINT code_page) {
    if (s.empty()) return {};
    const int n = MultiByteToWideChar(code_page, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(code_page, 0, s.data(), static_cast<int>(s.size()), out.data(), n);
    return out;
}

// What the export delivers, as the editor asks for it.
std::string delivered(std::string_view name) {
    const auto fn = reinterpret_cast<Export>(reinterpret_cast<void*>(GetProcAddress(g_dll, std::string(name).c_str())));
    if (fn == nullptr) return {};
    char buffer[256];
    return fn(buffer, 255);
}

// The text as a control shows it: code page 1255, each CR a line break.
std::wstring shown(std::string_view name, bool fill = false) {
    std::string text = delivered(name);
    if (fill) text = he::tool::fill_sample(text);
    std::wstring out;
    for (const wchar_t c : wide(text, 1255)) {
        if (c == L'\r') out += L"\r\n";
        else out += c;
    }
    return out;
}

// ---- Pictures ----------------------------------------------------------

void pump(int rounds = 6) {
    for (int i = 0; i < rounds; ++i) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        Sleep(30);
    }
}

void put16(std::string& s, unsigned v) { s += static_cast<char>(v & 0xFF), s += static_cast<char>((v >> 8) & 0xFF); }
void put32(std::string& s, unsigned v) { put16(s, v & 0xFFFF), put16(s, v >> 16); }

// The screen's pixels in `r`, as a 24-bit BMP file.
bool capture(const RECT& r, const std::string& path) {
    const int w = r.right - r.left, h = r.bottom - r.top;
    if (w <= 0 || h <= 0) return false;
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    BITMAPINFO bi{};
    bi.bmiHeader = {sizeof(BITMAPINFOHEADER), w, h, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP bmp = CreateDIBSection(mem, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(mem, bmp);
    BitBlt(mem, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
    GdiFlush();
    const unsigned stride = (static_cast<unsigned>(w) * 3 + 3) & ~3u;
    const unsigned size = stride * static_cast<unsigned>(h);
    std::string file = "BM";
    put32(file, 54 + size), put32(file, 0), put32(file, 54);
    put32(file, 40), put32(file, static_cast<unsigned>(w)), put32(file, static_cast<unsigned>(h));
    put16(file, 1), put16(file, 24), put32(file, 0), put32(file, size);
    put32(file, 2835), put32(file, 2835), put32(file, 0), put32(file, 0);
    file.append(static_cast<const char*>(bits), size);
    SelectObject(mem, old);
    DeleteObject(bmp);
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return false;
    const bool ok = std::fwrite(file.data(), 1, file.size(), f) == file.size();
    return std::fclose(f) == 0 && ok;
}

struct Index {
    std::string dir;
    std::string tsv;
    int count = 0;
    bool failed = false;
    std::string next(const std::string& what) {
        char name[64];
        std::snprintf(name, sizeof name, "%03d", ++count);
        return name + std::string("-") + what;
    }
    void add(const std::string& file, const std::string& what, const std::vector<std::string_view>& names, const RECT& r) {
        if (!capture(r, dir + "\\" + file + ".bmp")) {
            std::fprintf(stderr, "shots: cannot capture %s\n", file.c_str());
            failed = true;
            return;
        }
        tsv += file + ".png\t" + what + "\t";
        for (std::size_t i = 0; i < names.size(); ++i) tsv += (i ? "," : "") + std::string(names[i]);
        tsv += "\n";
    }
};

LRESULT CALLBACK frame_proc(HWND w, UINT m, WPARAM wp, LPARAM lp) { return DefWindowProcW(w, m, wp, lp); }

HWND frame(const std::wstring& title, int width, int height, HMENU menu = nullptr) {
    RECT r{0, 0, width, height};
    AdjustWindowRect(&r, WS_OVERLAPPEDWINDOW, menu != nullptr);
    HWND w = CreateWindowExW(0, L"HeShotsFrame", title.c_str(), WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 10, 10,
                             r.right - r.left, r.bottom - r.top, nullptr, menu, GetModuleHandleW(nullptr), nullptr);
    ShowWindow(w, SW_SHOWNORMAL);
    return w;
}

HWND child(HWND parent, const wchar_t* cls, const std::wstring& text, DWORD style, int x, int y, int w, int h) {
    HWND c = CreateWindowExW(0, cls, text.c_str(), WS_CHILD | WS_VISIBLE | style, x, y, w, h, parent, nullptr,
                             GetModuleHandleW(nullptr), nullptr);
    SendMessageW(c, WM_SETFONT, reinterpret_cast<WPARAM>(g_ui_font), TRUE);
    return c;
}

RECT window_rect(HWND w) {
    RECT r;
    GetWindowRect(w, &r);
    return r;
}

// The English of an entry without the explanation in parentheses after it.
std::string english(std::string_view gloss) {
    const auto open = gloss.find(" (");
    return std::string(gloss.substr(0, open));
}

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

HMENU popup_of(const he::tool::MenuNode& node, std::vector<std::string_view>& names) {
    HMENU m = CreatePopupMenu();
    for (const auto& item : node.items) {
        names.push_back(item.entry->name);
        std::wstring text = shown(item.entry->name);
        const std::wstring keys = shortcut(item.entry->name);
        if (!keys.empty()) text += L"\t" + keys;
        if (item.items.empty()) AppendMenuW(m, MF_STRING, 1, text.c_str());
        else AppendMenuW(m, MF_POPUP, reinterpret_cast<UINT_PTR>(popup_of(item, names)), text.c_str());
    }
    return m;
}

// The popup menu shown while TrackPopupMenu runs: the timer captures the
// frame and the menu together, then closes the menu.
struct MenuShot {
    Index* index;
    std::string file, what;
    std::vector<std::string_view> names;
    HWND frame;
} g_menu_shot;

void CALLBACK menu_timer(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    pump(3);
    RECT r = window_rect(g_menu_shot.frame);
    for (HWND p = FindWindowW(L"#32768", nullptr); p != nullptr; p = FindWindowExW(nullptr, p, L"#32768", nullptr)) {
        if (!IsWindowVisible(p)) continue;
        const RECT m = window_rect(p);
        UnionRect(&r, &r, &m);
    }
    g_menu_shot.index->add(g_menu_shot.file, g_menu_shot.what, g_menu_shot.names, r);
    EndMenu();
}

void menus(Index& index) {
    const auto tree = he::tool::menu_tree();
    HMENU bar = CreateMenu();
    std::vector<HMENU> popups;
    std::vector<std::vector<std::string_view>> names(tree.size());
    for (std::size_t i = 0; i < tree.size(); ++i) {
        names[i].push_back(tree[i].entry->name);
        if (tree[i].items.empty()) {
            popups.push_back(nullptr);
            AppendMenuW(bar, MF_STRING, 1, shown(tree[i].entry->name).c_str());
        } else {
            popups.push_back(popup_of(tree[i], names[i]));
            AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(popups.back()), shown(tree[i].entry->name).c_str());
        }
    }
    HWND w = frame(L"Imbrosia", 900, 420, bar);
    pump();
    std::vector<std::string_view> captions;
    for (const auto& m : tree) captions.push_back(m.entry->name);
    index.add(index.next("menu-bar"), "The menu bar", captions, window_rect(w));
    // Each menu opened below its caption, and each submenu on its own.
    const auto open = [&](HMENU popup, int x, int y, const std::string& file, const std::string& what,
                          const std::vector<std::string_view>& in) {
        g_menu_shot = {&index, file, what, in, w};
        SetTimer(nullptr, 0, 400, menu_timer);
        TrackPopupMenu(popup, TPM_LEFTALIGN | TPM_TOPALIGN, x, y, 0, w, nullptr);
        pump(2);
    };
    for (std::size_t i = 0; i < tree.size(); ++i) {
        if (popups[i] == nullptr) continue;
        RECT item;
        GetMenuItemRect(w, bar, static_cast<UINT>(i), &item);
        const std::string gloss = english(tree[i].entry->gloss);
        open(popups[i], item.left, item.bottom, index.next("menu"), "Menu: " + gloss, names[i]);
        for (int k = 0; k < GetMenuItemCount(popups[i]); ++k) {
            HMENU sub = GetSubMenu(popups[i], k);
            if (sub == nullptr) continue;
            const auto& node = tree[i].items[static_cast<std::size_t>(k)];
            std::vector<std::string_view> in{node.entry->name};
            for (const auto& s : node.items) in.push_back(s.entry->name);
            open(sub, item.left + 40, item.bottom + 40, index.next("submenu"),
                 "Submenu: " + gloss + " > " + english(node.entry->gloss), in);
        }
    }
    DestroyWindow(w);
}

// Labels, dialog by dialog as their table groups them (a blank or comment
// line between two rows starts a group), 24 to a picture; buttons and the
// other short texts likewise in the controls that show them.
void dialogs(Index& index) {
    std::vector<std::vector<const he::Entry*>> groups;
    unsigned last = 0;
    for (const auto& e : he::table_entries()) {
        if (e.family != "labels") continue;
        if (groups.empty() || e.line != last + 1) groups.emplace_back();
        groups.back().push_back(&e);
        last = e.line;
    }
    std::vector<const he::Entry*> others;
    for (const auto& e : he::table_entries())
        if (e.family == "buttons" || e.family == "printing" || e.family == "plugins" || e.family == "months" ||
            (e.family == "kit" && !e.text.empty() && e.text.find('%') == std::string_view::npos && e.text.find('!') == std::string_view::npos))
            others.push_back(&e);
    groups.push_back(others);
    constexpr std::size_t kPerPicture = 24;
    for (std::size_t g = 0; g < groups.size(); ++g) {
        const bool last_group = g + 1 == groups.size();
        for (std::size_t start = 0; start < groups[g].size(); start += kPerPicture) {
            const std::size_t n = std::min(kPerPicture, groups[g].size() - start);
            const int rows = static_cast<int>((n + 1) / 2);
            HWND w = frame(L"Imbrosia", 640, 40 + rows * 30);
            child(w, L"BUTTON", L"", BS_GROUPBOX, 8, 4, 624, 24 + rows * 30);
            std::vector<std::string_view> names;
            for (std::size_t i = 0; i < n; ++i) {
                const he::Entry& e = *groups[g][start + i];
                names.push_back(e.name);
                const int x = 20 + static_cast<int>(i % 2) * 310, y = 24 + static_cast<int>(i / 2) * 30;
                const std::wstring text = shown(e.name);
                if (e.family == "buttons") {
                    child(w, L"BUTTON", text, BS_PUSHBUTTON, x, y, 120, 26);
                } else if (g == 0) {  // field captions: a caption and its field
                    child(w, L"STATIC", text, SS_LEFT, x, y + 4, 150, 20);
                    child(w, L"EDIT", L"42", WS_BORDER, x + 155, y, 110, 24);
                } else if (g == 1 && !last_group) {
                    child(w, L"BUTTON", text, BS_AUTORADIOBUTTON, x, y, 290, 24);
                } else if (!last_group) {
                    child(w, L"BUTTON", text, BS_AUTOCHECKBOX, x, y, 290, 24);
                } else {
                    child(w, L"STATIC", text, SS_LEFT, x, y + 4, 290, 20);
                }
            }
            pump();
            const std::string what = last_group ? "Buttons, printing, plug-ins, months and the dialog kit"
                                                : "Labels, group " + std::to_string(g + 1);
            index.add(index.next(last_group ? "controls" : "labels"), what, names, window_rect(w));
            DestroyWindow(w);
        }
    }
}

// Every message in a real message box, its title and buttons from the kit.
struct BoxShot {
    Index* index;
    std::string file, what;
    std::string_view name;
    bool question;
} g_box_shot;

void CALLBACK box_timer(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    HWND box = nullptr;
    for (HWND p = FindWindowW(L"#32770", nullptr); p != nullptr; p = FindWindowExW(nullptr, p, L"#32770", nullptr))
        if (IsWindowVisible(p)) box = p;
    if (box == nullptr) return;
    if (g_box_shot.question) {
        SetDlgItemTextW(box, IDYES, shown("GetDlgYes").c_str());
        SetDlgItemTextW(box, IDNO, shown("GetDlgNo").c_str());
    } else {
        SetDlgItemTextW(box, IDOK, shown("GetDlgOk").c_str());
    }
    pump(3);
    g_box_shot.index->add(g_box_shot.file, g_box_shot.what, {g_box_shot.name}, window_rect(box));
    EndDialog(box, g_box_shot.question ? IDNO : IDOK);
}

void boxes(Index& index) {
    for (const auto& e : he::table_entries()) {
        const bool template_box = e.family == "templates" && e.text.find('\r') != std::string_view::npos;
        const bool message = e.family == "messages" || (e.family == "kit" && e.text.find('!') != std::string_view::npos);
        if (!message && !template_box) continue;
        const bool question = e.text.find('?') != std::string_view::npos;
        const std::string_view title = template_box ? "GetDlgInformation" : question ? "GetDlgConfirmation" : "GetDlgWarning";
        g_box_shot = {&index, index.next("message"), "Message box", e.name, question};
        SetTimer(nullptr, 0, 300, box_timer);
        MessageBoxW(nullptr, shown(e.name, true).c_str(), shown(title).c_str(),
                    (question ? MB_YESNO | MB_ICONQUESTION : MB_OK | (template_box ? MB_ICONINFORMATION : MB_ICONWARNING)));
    }
}

// Templates filled as the editor fills them, in status bars; status texts
// there too; tool hints in tooltips.
void bars(Index& index) {
    std::vector<const he::Entry*> lines;
    for (const auto& e : he::table_entries())
        if ((e.family == "templates" && e.text.find('\r') == std::string_view::npos && !e.text.empty()) || e.family == "status")
            lines.push_back(&e);
    for (std::size_t start = 0; start < lines.size(); start += 10) {
        const std::size_t n = std::min<std::size_t>(10, lines.size() - start);
        HWND w = frame(L"Imbrosia", 640, static_cast<int>(n) * 28 + 8);
        std::vector<std::string_view> names;
        for (std::size_t i = 0; i < n; ++i) {
            names.push_back(lines[start + i]->name);
            HWND bar = child(w, STATUSCLASSNAMEW, L"", CCS_NOPARENTALIGN | CCS_NORESIZE | CCS_NODIVIDER, 4,
                             4 + static_cast<int>(i) * 28, 632, 24);
            SendMessageW(bar, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(shown(lines[start + i]->name, true).c_str()));
        }
        pump();
        index.add(index.next("status"), "Status bars: templates filled with sample values, status texts", names, window_rect(w));
        DestroyWindow(w);
    }
    std::vector<std::string_view> hints;
    HWND w = frame(L"Imbrosia", 640, 400);
    pump();
    const RECT area = window_rect(w);
    std::vector<HWND> tips;
    for (const auto& e : he::table_entries()) {
        if (e.family != "hints") continue;
        hints.push_back(e.name);
        HWND tip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP, 0, 0, 0,
                                   0, w, nullptr, GetModuleHandleW(nullptr), nullptr);
        SendMessageW(tip, WM_SETFONT, reinterpret_cast<WPARAM>(g_ui_font), TRUE);
        std::wstring text = shown(e.name);
        TOOLINFOW ti{};
        ti.cbSize = TTTOOLINFOW_V1_SIZE;
        ti.uFlags = TTF_TRACK | TTF_ABSOLUTE;
        ti.hwnd = w;
        ti.lpszText = text.data();
        SendMessageW(tip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
        const int k = static_cast<int>(tips.size());
        SendMessageW(tip, TTM_TRACKPOSITION, 0, MAKELPARAM(area.left + 20 + (k % 3) * 200, area.top + 50 + (k / 3) * 40));
        SendMessageW(tip, TTM_TRACKACTIVATE, TRUE, reinterpret_cast<LPARAM>(&ti));
        tips.push_back(tip);
    }
    pump();
    index.add(index.next("hints"), "Tool hints in tooltips", hints, area);
    for (HWND t : tips) DestroyWindow(t);
    DestroyWindow(w);
}

// The UI font for menus, message boxes, status bars and controls.
void use_font() {
    NONCLIENTMETRICSW m{};
    m.cbSize = sizeof m;
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof m, &m, 0);
    for (LOGFONTW* f : {&m.lfMenuFont, &m.lfMessageFont, &m.lfStatusFont, &m.lfCaptionFont, &m.lfSmCaptionFont}) {
        lstrcpynW(f->lfFaceName, g_font.c_str(), LF_FACESIZE);
        f->lfCharSet = HEBREW_CHARSET;
    }
    SystemParametersInfoW(SPI_SETNONCLIENTMETRICS, sizeof m, &m, 0);
    g_ui_font = CreateFontIndirectW(&m.lfMessageFont);
}

int pictures(const std::string& dir) {
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&icc);
    use_font();
    WNDCLASSW wc{};
    wc.lpfnWndProc = frame_proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = L"HeShotsFrame";
    RegisterClassW(&wc);
    Index index{dir, {}, 0, false};
    menus(index);
    dialogs(index);
    boxes(index);
    bars(index);
    FILE* f = std::fopen((dir + "\\index.tsv").c_str(), "wb");
    if (f == nullptr || std::fwrite(index.tsv.data(), 1, index.tsv.size(), f) != index.tsv.size() || std::fclose(f) != 0) {
        std::fprintf(stderr, "shots: cannot write %s\\index.tsv\n", dir.c_str());
        return 2;
    }
    std::printf("%d pictures\n", index.count);
    return index.failed ? 2 : 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (argc != 3) {
        std::fprintf(stderr, "usage: shots.exe OUTDIR FONT | --setup FONT\n");
        return 2;
    }
    g_font = wide(argv[2], CP_UTF8);
    g_dll = LoadLibraryA("DLLTranslation_HE.dll");
    if (g_dll == nullptr) {
        std::fprintf(stderr, "shots: cannot load DLLTranslation_HE.dll (error %lu)\n", GetLastError());
        return 2;
    }
    if (mode == "--setup") {
        const wchar_t no[] = L"N";
        const LSTATUS status = RegSetKeyValueW(HKEY_CURRENT_USER, L"Software\\Wine\\X11 Driver", L"Decorated", REG_SZ, no, sizeof no);
        return status == ERROR_SUCCESS ? 0 : 2;
    }
    return pictures(mode);
}
