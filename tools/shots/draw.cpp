// The parts every picture is made of (draw.h): texts read from the DLL,
// windows on the virtual screen, and pictures captured as BMP files.
#include "draw.h"

#include <cstdio>

#include "model.h"

namespace he::shots {

using Export = char*(WINAPI*)(char*, int);

HMODULE g_dll = nullptr;
HFONT g_ui_font = nullptr;

std::wstring wide(std::string_view s, UINT code_page) {
    if (s.empty()) return {};
    const int n = MultiByteToWideChar(code_page, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(code_page, 0, s.data(), static_cast<int>(s.size()), out.data(), n);
    return out;
}

namespace {

// What the export delivers, as the editor asks for it.
std::string delivered(std::string_view name) {
    const auto fn = reinterpret_cast<Export>(reinterpret_cast<void*>(GetProcAddress(g_dll, std::string(name).c_str())));
    if (fn == nullptr) return {};
    char buffer[256];
    return fn(buffer, 255);
}

}  // namespace

std::wstring shown(std::string_view name, bool fill) {
    std::string text = delivered(name);
    if (fill) text = he::tool::fill_sample(text);
    std::wstring out;
    for (const wchar_t c : wide(text, 1255)) {
        if (c == L'\r') out += L"\r\n";
        else out += c;
    }
    return out;
}

std::string english(const he::Entry& e) { return std::string(he::tool::split_gloss(e).first); }

void pump(int rounds) {
    for (int i = 0; i < rounds; ++i) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        Sleep(30);
    }
}

namespace {

void put16(std::string& s, unsigned v) { s += static_cast<char>(v & 0xFF), s += static_cast<char>((v >> 8) & 0xFF); }
void put32(std::string& s, unsigned v) { put16(s, v & 0xFFFF), put16(s, v >> 16); }

// The screen's pixels in `r`, as a 24-bit BMP file.
bool capture(const RECT& r, const std::string& path) {
    const int w = r.right - r.left, h = r.bottom - r.top;
    if (w <= 0 || h <= 0) return false;
    HDC display = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(display);
    BITMAPINFO bi{};
    bi.bmiHeader = {sizeof(BITMAPINFOHEADER), w, h, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP bmp = CreateDIBSection(mem, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(mem, bmp);
    BitBlt(mem, 0, 0, w, h, display, r.left, r.top, SRCCOPY);
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
    ReleaseDC(nullptr, display);
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return false;
    const bool ok = std::fwrite(file.data(), 1, file.size(), f) == file.size();
    return std::fclose(f) == 0 && ok;
}

}  // namespace

RECT window_rect(HWND w) {
    RECT r{};
    if (w != nullptr && IsWindowVisible(w)) GetWindowRect(w, &r);
    return r;
}

RECT screen() { return {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)}; }

bool within(const RECT& inner, const RECT& outer) {
    return inner.left < inner.right && inner.top < inner.bottom && inner.left >= outer.left && inner.top >= outer.top &&
           inner.right <= outer.right && inner.bottom <= outer.bottom;
}


void Index::add(const std::string& kind, const std::string& what, const std::vector<Drawn>& entries, RECT area) {
    char number[16];
    std::snprintf(number, sizeof number, "%03d-", ++count);
    const std::string file = number + kind + ".bmp";
    const RECT whole = screen();
    IntersectRect(&area, &area, &whole);
    if (!capture(area, dir + "\\" + file)) {
        std::fprintf(stderr, "shots: cannot write %s\\%s\n", dir.c_str(), file.c_str());
        failed = true;
        return;
    }
    std::string names, outside;
    for (const auto& e : entries) {
        const bool in = within(e.where, area);
        std::string& list = in ? names : outside;
        list += (list.empty() ? "" : ",") + std::string(e.name);
        if (in) drawn.insert(e.name);
    }
    if (!outside.empty()) {
        std::fprintf(stderr, "shots: %s (%s) leaves out what it should show: %s\n", file.c_str(), what.c_str(), outside.c_str());
        failed = true;
    }
    tsv += file + "\t" + what + "\t" + names + "\n";
}

// Where each control is, read back from it once it is drawn.
std::vector<Drawn> where(const std::vector<std::pair<std::string_view, HWND>>& controls) {
    std::vector<Drawn> out;
    for (const auto& [name, control] : controls) out.push_back({name, window_rect(control)});
    return out;
}

namespace {

LRESULT CALLBACK frame_proc(HWND w, UINT m, WPARAM wp, LPARAM lp) { return DefWindowProcW(w, m, wp, lp); }

}  // namespace

void register_frame() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = frame_proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = L"HeShotsFrame";
    RegisterClassW(&wc);
}

HWND frame(const std::wstring& title, int width, int height, HMENU menu) {
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

}  // namespace he::shots
