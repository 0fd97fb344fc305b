// What every picture of ./dev shots is made of: the DLL's texts as a
// control shows them, windows on the virtual screen, and the index of the
// pictures written, each named for the entries drawn within it.
#pragma once

#include <windows.h>

#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "table.h"

namespace he::shots {

extern HMODULE g_dll;      // DLLTranslation_HE.dll, loaded as the editor loads it
extern HFONT g_ui_font;    // the font of the controls

std::wstring wide(std::string_view s, UINT code_page);

// The text an export delivers as a control shows it: code page 1255, each
// CR a line break; a template filled with sample values where `fill`.
std::wstring shown(std::string_view name, bool fill = false);

// An entry's English without its explanation, for what a picture shows.
std::string english(const Entry& e);

// Lets the windows draw: the messages waiting, `rounds` times 30 ms.
void pump(int rounds = 6);

// A window's rectangle on the screen; empty for one not shown.
RECT window_rect(HWND w);
RECT screen();

// An entry and where the control or menu item that shows it is on the screen.
struct Drawn {
    std::string_view name;
    RECT where;
};

// Where each control is, read back from it once it is drawn.
std::vector<Drawn> where(const std::vector<std::pair<std::string_view, HWND>>& controls);

// The pictures written so far (OUTDIR\NNN-KIND.bmp), index.tsv's lines, and
// every entry drawn.
struct Index {
    std::string dir, tsv;
    int count = 0;
    bool failed = false;
    std::set<std::string_view> drawn;

    // The screen's `area` as the next picture, named for the entries drawn
    // within it; an entry meant for it but drawn outside it fails the run.
    void add(const std::string& kind, const std::string& what, const std::vector<Drawn>& entries, RECT area);
};

// True when `inner` is a rectangle that lies wholly within `outer`.
bool within(const RECT& inner, const RECT& outer);

// A top-level window of the editor's kind, shown; a control in it, in the UI font.
void register_frame();
HWND frame(const std::wstring& title, int width, int height, HMENU menu = nullptr);
HWND child(HWND parent, const wchar_t* cls, const std::wstring& text, DWORD style, int x, int y, int w, int h);

// The menu bar, each menu below its caption, each submenu (menus.cpp).
void menus(Index& index);

}  // namespace he::shots
