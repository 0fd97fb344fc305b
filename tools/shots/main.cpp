// Pictures of every text of DLLTranslation_HE.dll in the kind of Windows
// control that shows it, for a reviewer.
//   shots.exe OUTDIR FONT      one BMP file per picture, and OUTDIR/index.tsv:
//                              each file, what it shows, the entries drawn in it
//   shots.exe --setup SYMBOLS  this Wine prefix set up for a virtual display:
//                              Wine draws and maps the windows itself (no
//                              window manager answers there), its caption
//                              buttons in SYMBOLS, the file of Wine's own
//                              symbol font (Marlett)
// Texts are read from the DLL, as the editor reads them, and turned from
// code page 1255 into the system's wide characters. A picture names an entry
// only when the control or menu item that shows it lies within the picture,
// as the control itself tells; a menu taller than the screen is drawn in
// parts that fit ("1 of 2"); an entry drawn in no picture fails the run.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "draw.h"
#include "model.h"
#include "rules.h"

namespace he::shots {
namespace {

std::wstring g_font;

// The control an entry is drawn in: its family's, except that a text of
// several lines goes into a message box where its family's control shows one
// line, and a dialog text that exclaims is a message, one with placeholders
// a read-out in a status bar.
he::Control drawn_in(const he::Entry& e) {
    const he::Control control = he::find_family(e.family)->control;
    const bool lines = e.text.find('\r') != std::string_view::npos;
    if (control == he::Control::status_bar && lines) return he::Control::message_box;
    if (control == he::Control::dialog && e.text.find('!') != std::string_view::npos) return he::Control::message_box;
    if (control == he::Control::dialog && he::is_template(e.name)) return he::Control::status_bar;
    return control;
}

// Check boxes, radio buttons and field captions, dialog by dialog as their
// table groups them (a blank or comment line between two rows starts a
// group), 24 to a picture, the field captions beside their fields; buttons
// and the other texts of dialogs likewise in the controls that show them.
void dialogs(Index& index) {
    std::vector<std::vector<const he::Entry*>> groups;
    unsigned last = 0;
    for (const auto& e : he::table_entries()) {
        if (drawn_in(e) != he::Control::choice) continue;
        if (groups.empty() || e.line != last + 1) groups.emplace_back();
        groups.back().push_back(&e);
        last = e.line;
    }
    std::vector<const he::Entry*> others;
    for (const auto& e : he::table_entries())
        if ((drawn_in(e) == he::Control::button || drawn_in(e) == he::Control::dialog) && !e.text.empty()) others.push_back(&e);
    groups.push_back(others);
    const auto fields = he::field_captions();
    constexpr std::size_t kPerPicture = 24;
    for (std::size_t g = 0; g < groups.size(); ++g) {
        const bool last_group = g + 1 == groups.size();
        for (std::size_t start = 0; start < groups[g].size(); start += kPerPicture) {
            const std::size_t n = std::min(kPerPicture, groups[g].size() - start);
            const int rows = static_cast<int>((n + 1) / 2);
            HWND w = frame(L"Imbrosia", 640, 40 + rows * 30);
            child(w, L"BUTTON", L"", BS_GROUPBOX, 8, 4, 624, 24 + rows * 30);
            std::vector<std::pair<std::string_view, HWND>> controls;
            for (std::size_t i = 0; i < n; ++i) {
                const he::Entry& e = *groups[g][start + i];
                const int x = 20 + static_cast<int>(i % 2) * 310, y = 24 + static_cast<int>(i / 2) * 30;
                const std::wstring text = shown(e.name);
                HWND c = nullptr;
                if (drawn_in(e) == he::Control::button) {
                    c = child(w, L"BUTTON", text, BS_PUSHBUTTON, x, y, 120, 26);
                } else if (std::find(fields.begin(), fields.end(), e.name) != fields.end()) {
                    c = child(w, L"STATIC", text, SS_LEFT, x, y + 4, 150, 20);
                    child(w, L"EDIT", L"42", WS_BORDER, x + 155, y, 110, 24);
                } else if (g == 1 && !last_group) {
                    c = child(w, L"BUTTON", text, BS_AUTORADIOBUTTON, x, y, 290, 24);
                } else if (!last_group) {
                    c = child(w, L"BUTTON", text, BS_AUTOCHECKBOX, x, y, 290, 24);
                } else {
                    c = child(w, L"STATIC", text, SS_LEFT, x, y + 4, 290, 20);
                }
                controls.push_back({e.name, c});
            }
            pump();
            const std::string what = last_group ? "Buttons, printing, plug-ins, months and the dialog kit"
                                                : "Labels, group " + std::to_string(g + 1);
            index.add(last_group ? "controls" : "labels", what, where(controls), window_rect(w));
            DestroyWindow(w);
        }
    }
}

// Every message in a real message box, its title and buttons from the kit.
struct BoxShot {
    Index* index;
    std::string_view name;
    bool question;
} g_box;

void CALLBACK box_timer(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    HWND box = nullptr;
    for (HWND p = FindWindowW(L"#32770", nullptr); p != nullptr; p = FindWindowExW(nullptr, p, L"#32770", nullptr))
        if (IsWindowVisible(p)) box = p;
    if (box == nullptr) return;
    if (g_box.question) {
        SetDlgItemTextW(box, IDYES, shown("GetDlgYes").c_str());
        SetDlgItemTextW(box, IDNO, shown("GetDlgNo").c_str());
    } else {
        SetDlgItemTextW(box, IDOK, shown("GetDlgOk").c_str());
    }
    pump(3);
    constexpr int kMessageText = 0xFFFF;  // the control of a message box that shows its text
    g_box.index->add("message", "Message box", where({{g_box.name, GetDlgItem(box, kMessageText)}}), window_rect(box));
    EndDialog(box, g_box.question ? IDNO : IDOK);
}

void boxes(Index& index) {
    for (const auto& e : he::table_entries()) {
        if (drawn_in(e) != he::Control::message_box) continue;
        const bool template_box = he::find_family(e.family)->control == he::Control::status_bar;
        const bool question = e.text.find('?') != std::string_view::npos;
        const std::string_view title = template_box ? "GetDlgInformation" : question ? "GetDlgConfirmation" : "GetDlgWarning";
        g_box = {&index, e.name, question};
        SetTimer(nullptr, 0, 150, box_timer);
        MessageBoxW(nullptr, shown(e.name, true).c_str(), shown(title).c_str(),
                    (question ? MB_YESNO | MB_ICONQUESTION : MB_OK | (template_box ? MB_ICONINFORMATION : MB_ICONWARNING)));
    }
}

// Templates filled as the editor fills them, in status bars; status texts
// there too; tool hints in tooltips.
void bars(Index& index) {
    std::vector<const he::Entry*> lines;
    for (const auto& e : he::table_entries()) {
        if (drawn_in(e) == he::Control::status_bar && !e.text.empty()) lines.push_back(&e);
    }
    for (std::size_t start = 0; start < lines.size(); start += 10) {
        const std::size_t n = std::min<std::size_t>(10, lines.size() - start);
        HWND w = frame(L"Imbrosia", 640, static_cast<int>(n) * 28 + 8);
        std::vector<std::pair<std::string_view, HWND>> controls;
        for (std::size_t i = 0; i < n; ++i) {
            HWND bar = child(w, STATUSCLASSNAMEW, L"", CCS_NOPARENTALIGN | CCS_NORESIZE | CCS_NODIVIDER, 4,
                             4 + static_cast<int>(i) * 28, 632, 24);
            SendMessageW(bar, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(shown(lines[start + i]->name, true).c_str()));
            controls.push_back({lines[start + i]->name, bar});
        }
        pump();
        index.add("status", "Status bars: templates filled with sample values, status texts", where(controls), window_rect(w));
        DestroyWindow(w);
    }
    HWND w = frame(L"Imbrosia", 640, 400);
    pump();
    const RECT area = window_rect(w);
    std::vector<std::pair<std::string_view, HWND>> tips;
    for (const auto& e : he::table_entries()) {
        if (drawn_in(e) != he::Control::tooltip) continue;
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
        tips.push_back({e.name, tip});
    }
    pump();
    index.add("hints", "Tool hints in tooltips", where(tips), area);
    for (const auto& [name, tip] : tips) DestroyWindow(tip);
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
    register_frame();
    Index index{dir, {}, 0, false, {}};
    menus(index);
    dialogs(index);
    boxes(index);
    bars(index);
    std::string nowhere;
    std::size_t missing = 0;
    for (const auto& e : he::table_entries())
        if (!e.text.empty() && !index.drawn.count(e.name)) nowhere += (missing++ ? ", " : "") + std::string(e.name);
    if (missing) {
        std::fprintf(stderr, "shots: %zu entries drawn in no picture: %s\n", missing, nowhere.c_str());
        index.failed = true;
    }
    FILE* f = std::fopen((dir + "\\index.tsv").c_str(), "wb");
    if (f == nullptr || std::fwrite(index.tsv.data(), 1, index.tsv.size(), f) != index.tsv.size() || std::fclose(f) != 0) {
        std::fprintf(stderr, "shots: cannot write %s\\index.tsv\n", dir.c_str());
        return 2;
    }
    std::printf("%d pictures, %zu entries drawn\n", index.count, index.drawn.size());
    return index.failed ? 2 : 0;
}

// No window manager answers on a virtual display: Wine draws the frames and
// maps the windows itself, at once, not after waiting for one. Its caption
// buttons are drawn in its own symbol font, which it is shown where to find.
int setup(const std::wstring& symbols) {
    if (GetFileAttributesW(symbols.c_str()) == INVALID_FILE_ATTRIBUTES) {
        std::fprintf(stderr, "shots: no symbol font at %ls\n", symbols.c_str());
        return 2;
    }
    const wchar_t no[] = L"N";
    const wchar_t* x11 = L"Software\\Wine\\X11 Driver";
    const wchar_t* fonts = L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";
    const auto bytes = static_cast<DWORD>((symbols.size() + 1) * sizeof(wchar_t));
    const bool ok = RegSetKeyValueW(HKEY_CURRENT_USER, x11, L"Decorated", REG_SZ, no, sizeof no) == ERROR_SUCCESS &&
                    RegSetKeyValueW(HKEY_CURRENT_USER, x11, L"Managed", REG_SZ, no, sizeof no) == ERROR_SUCCESS &&
                    RegSetKeyValueW(HKEY_LOCAL_MACHINE, fonts, L"Marlett (TrueType)", REG_SZ, symbols.c_str(), bytes) == ERROR_SUCCESS;
    if (!ok) std::fprintf(stderr, "shots: cannot set this Wine prefix up for drawing (its registry)\n");
    return ok ? 0 : 2;
}

}  // namespace
}  // namespace he::shots

int main(int argc, char** argv) {
    using namespace he::shots;
    if (argc != 3) {
        std::fprintf(stderr, "usage: shots.exe OUTDIR FONT | shots.exe --setup SYMBOLFONTFILE\n");
        return 2;
    }
    const std::string mode = argv[1];
    if (mode == "--setup") return setup(wide(argv[2], CP_UTF8));
    g_font = wide(argv[2], CP_UTF8);
    g_dll = LoadLibraryA("DLLTranslation_HE.dll");
    if (g_dll == nullptr) {
        std::fprintf(stderr, "shots: cannot load DLLTranslation_HE.dll (error %lu)\n", GetLastError());
        return 2;
    }
    return pictures(mode);
}
