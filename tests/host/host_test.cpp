// Loads DLLTranslation_HE.dll the way the editor does and calls every export
// by name and by ordinal, as a WINAPI function, against the expected texts.
// Runs under Wine in phases, one process each:
//   host_test.exe calls          every export at every limit, from one thread
//   host_test.exe threads        eight threads calling every export at once
//   host_test.exe glyphs [FONT [FILE]]
//                                the UI font the pictures use (./dev shots;
//                                DejaVu Sans) has a glyph for every character
//                                of every text, and a label drawn in it holds
//                                drawn text, not the boxes of missing glyphs;
//                                FILE, a font file this process alone adds
//                                first (one the prefix may not have taken in)
// Each phase says what it runs, on which DLL and how, and prints
// "N passed, N failed". Where Wine runs in qemu-i386, which cannot run
// programs that start threads, the threads phase says so and exits 77, which
// the test driver counts as skipped.
#include <windows.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "table.h"
#include "expected.h"
#include "templates.h"

extern const char kExpectedTexts[];  // tests/data/texts.txt, embedded by the build

namespace {

using Export = char*(WINAPI*)(char*, int);

int g_passed = 0;
int g_failed = 0;
int g_reported = 0;

// GetProcAddress answers with a generic function pointer; the export's real type is known.
Export as_export(FARPROC p) { return reinterpret_cast<Export>(reinterpret_cast<void*>(p)); }

void report(bool ok, const std::string& what) {
    (ok ? g_passed : g_failed)++;
    if (!ok && g_reported++ < 50) std::printf("FAIL %s\n", what.c_str());
}

// Calls fn(buffer, max_len) and tells whether the stack pointer came back
// where it was: a WINAPI (stdcall) function removes its 8 bytes of arguments
// itself; a cdecl one leaves them, which this catches.
char* call(Export fn, char* buffer, int max_len, bool& stack_ok) {
#if defined(__i386__)
    unsigned before = 0, after = 0;
    auto target = reinterpret_cast<unsigned>(fn);
    auto buf = reinterpret_cast<unsigned>(buffer);
    int max = max_len;
    asm volatile(
        "movl %%esp, %%esi\n\t"
        "pushl %%edx\n\t"
        "pushl %%ecx\n\t"
        "call *%%eax\n\t"
        "movl %%esp, %%edi\n\t"
        "movl %%esi, %%esp\n\t"  // undo what a wrong convention left behind
        : "+a"(target), "+c"(buf), "+d"(max), "=&S"(before), "=&D"(after)
        :
        : "memory", "cc");
    stack_ok = before == after;
    return reinterpret_cast<char*>(target);
#else
    stack_ok = true;  // x64 has one convention; the caller owns the stack
    return fn(buffer, max_len);
#endif
}

#if defined(__i386__)
char* WINAPI stdcall_probe(char* buffer, int) { return buffer; }
extern "C" __attribute__((cdecl)) char* cdecl_probe(char* buffer, int) { return buffer; }
#endif

constexpr std::size_t kGuard = 16;
constexpr unsigned char kCanary = 0xA5;

// Checks one call: the result, the stack, the delivered bytes, the zero
// byte, and that nothing before the buffer or after the zero byte changed.
// The buffer starts `offset` bytes past a word boundary.
std::string check_call(Export fn, std::string_view text, int max_len, std::size_t offset) {
    alignas(4) unsigned char area[kGuard + 300];
    std::memset(area, kCanary, sizeof area);
    char* buffer = reinterpret_cast<char*>(area + kGuard + offset);
    bool stack_ok = false;
    char* result = call(fn, buffer, max_len, stack_ok);
    const std::size_t n = std::min<std::size_t>(text.size(), static_cast<std::uint32_t>(max_len));
    std::string why;
    if (!stack_ok) why += " stack not restored (not WINAPI);";
    if (result != buffer) why += " result is not Buffer;";
    if (std::memcmp(buffer, text.data(), n) != 0) why += " wrong bytes \"" + he::test::to_utf8(std::string_view(buffer, n)) + "\";";
    if (buffer[n] != 0) why += " no zero byte at " + std::to_string(n) + ";";
    for (std::size_t i = 0; i < sizeof area; ++i) {
        if (i >= kGuard + offset && i <= kGuard + offset + n) continue;
        if (area[i] != kCanary) {
            why += " wrote outside [0, n] at offset " +
                   std::to_string(static_cast<long>(i) - static_cast<long>(kGuard + offset)) + ";";
            break;
        }
    }
    return why.empty() ? why : "MaxLen " + std::to_string(max_len) + ", Buffer at word offset " + std::to_string(offset) + ":" + why;
}

// Every export: found by name and by its ordinal, and correct for limits
// from 0 to past its length, the extremes of int, a buffer at each offset
// from a word boundary, and a null Buffer.
void check_export(HMODULE dll, const std::string& name, unsigned ordinal, std::string_view text) {
    auto fn = as_export(GetProcAddress(dll, name.c_str()));
    if (fn == nullptr) return report(false, name + ": not exported");
    auto by_ordinal = as_export(GetProcAddress(dll, MAKEINTRESOURCEA(ordinal)));
    if (by_ordinal != fn) return report(false, name + ": ordinal " + std::to_string(ordinal) + " names another function");
    std::vector<int> limits{-1, INT_MIN, INT_MIN + 1, INT_MAX, 255, 129, 130};
    for (int m = 0; m <= static_cast<int>(text.size()) + 2; ++m) limits.push_back(m);
    for (const int m : limits)
        for (std::size_t offset = 0; offset < 4; ++offset) {
            const std::string why = check_call(fn, text, m, offset);
            if (!why.empty()) return report(false, name + ": " + why);
        }
    bool stack_ok = false;
    if (call(fn, nullptr, 255, stack_ok) != nullptr || !stack_ok)
        return report(false, name + ": null Buffer not answered with null");
    report(true, name);
}

// The text an entry must deliver: given in the data file, or, for wording
// written for this module, the one its table holds.
bool expected_text(const he::test::Expected& e, std::string& text) {
    if (!e.open) {
        text = e.bytes;
        return true;
    }
    for (const auto& entry : he::table_entries())
        if (entry.name == e.name && !entry.quoted) {
            text = std::string(entry.text);
            return true;
        }
    return false;
}

// A template as the DLL delivers it carries the specifiers the editor passes
// arguments for, and snprintf fills it into a well-formed line.
void check_template(HMODULE dll, const he::TemplateArguments& t) {
    const std::string name(t.name);
    auto fn = as_export(GetProcAddress(dll, name.c_str()));
    if (fn == nullptr) return report(false, name + ": template not exported");
    char buffer[256];
    const std::string text = fn(buffer, 255);
    const std::string found = he::specifiers_of(text);
    if (found != t.specifiers) return report(false, name + ": specifiers \"" + found + "\", expected \"" + std::string(t.specifiers) + "\"");
    std::string filled;
    if (!he::test::fill_with_snprintf(text, t.specifiers, filled)) return report(false, name + ": snprintf failed");
    report(filled == he::test::expected_fill(text), name + ": filled as \"" + he::test::to_utf8(filled) + "\"");
}

// Eight threads call every export a thousand times each into their own
// buffers, with limits from a per-thread generator, against the texts one
// thread got alone.
struct ThreadWork {
    const std::vector<Export>* exports;
    const std::vector<std::string>* alone;
    unsigned seed;
    long calls = 0, mismatches = 0;
};

DWORD WINAPI hammer(void* arg) {
    auto& work = *static_cast<ThreadWork*>(arg);
    std::uint32_t state = work.seed;
    const auto next = [&state] { return state = state * 1664525u + 1013904223u; };  // a small LCG, enough here
    unsigned char area[16 + 256 + 16];
    for (int round = 0; round < 1000; ++round) {
        for (std::size_t i = 0; i < work.exports->size(); ++i) {
            const std::uint32_t r = next();
            const int max_len = (r & 1) ? static_cast<int>(next()) : static_cast<int>(r % 143) - 2;
            std::memset(area, kCanary, sizeof area);
            char* buffer = reinterpret_cast<char*>(area + kGuard);
            const std::string& text = (*work.alone)[i];
            char* result = (*work.exports)[i](buffer, max_len);
            const std::size_t n = std::min<std::size_t>(text.size(), static_cast<std::uint32_t>(max_len));
            bool ok = result == buffer && std::memcmp(buffer, text.data(), n) == 0 && buffer[n] == 0;
            for (std::size_t k = 0; k < sizeof area; ++k)
                if ((k < kGuard || k > kGuard + n) && area[k] != kCanary) ok = false;
            ++work.calls;
            work.mismatches += ok ? 0 : 1;
        }
    }
    return 0;
}

void check_threads(HMODULE dll, const std::vector<std::string>& names) {
    std::vector<Export> exports;
    std::vector<std::string> alone;
    for (const auto& name : names) {
        auto fn = as_export(GetProcAddress(dll, name.c_str()));
        if (fn == nullptr) return report(false, "threads: " + name + " not exported");
        char buffer[256];
        exports.push_back(fn);
        alone.emplace_back(fn(buffer, -1));
    }
    ThreadWork work[8];
    HANDLE threads[8];
    for (unsigned t = 0; t < 8; ++t) {
        work[t] = {&exports, &alone, t + 1};
        threads[t] = CreateThread(nullptr, 0, hammer, &work[t], 0, nullptr);
        if (threads[t] == nullptr) return report(false, "threads: CreateThread failed");
    }
    WaitForMultipleObjects(8, threads, TRUE, INFINITE);
    long calls = 0, mismatches = 0;
    for (unsigned t = 0; t < 8; ++t) {
        CloseHandle(threads[t]);
        calls += work[t].calls;
        mismatches += work[t].mismatches;
    }
    report(mismatches == 0 && calls == 8L * 1000 * static_cast<long>(exports.size()),
           "threads: " + std::to_string(calls) + " calls from 8 threads, " + std::to_string(mismatches) + " differed");
    std::printf("8 threads made %ld calls, %ld differed from one thread's results\n", calls, mismatches);
}

// The texts the DLL must deliver, from the data file; a fault in the file
// is a failed check.
std::vector<he::test::Expected> expected_entries(he::test::ExpectedSet& set) {
    set = he::test::parse_expected(kExpectedTexts);
    for (const auto& e : set.errors) report(false, "data file: " + e);
    std::vector<he::test::Expected> all(set.identity);
    all.insert(all.end(), set.catalogue.begin(), set.catalogue.end());
    return all;
}

HMODULE load() {
    HMODULE dll = LoadLibraryA("DLLTranslation_HE.dll");
    if (dll == nullptr) report(false, "LoadLibrary(DLLTranslation_HE.dll) failed, error " + std::to_string(GetLastError()));
    return dll;
}

void calls() {
    // The harness must tell the two conventions apart, or its stack check proves nothing.
#if defined(__i386__)
    {
        char b[4];
        bool ok = false;
        call(stdcall_probe, b, 1, ok);
        report(ok, "harness: a WINAPI function is seen as restoring the stack");
        call(reinterpret_cast<Export>(reinterpret_cast<void*>(cdecl_probe)), b, 1, ok);
        report(!ok, "harness: a cdecl function is seen as leaving its arguments");
    }
#endif
    he::test::ExpectedSet set;
    const auto all = expected_entries(set);
    HMODULE dll = load();
    if (dll == nullptr) return;
    const auto ordinals = he::test::expected_ordinals(set);
    for (const auto& e : all) {
        unsigned ordinal = 0;
        for (const auto& o : ordinals)
            if (o.name == e.name) ordinal = o.ordinal;
        std::string text;
        if (!expected_text(e, text)) {
            report(false, e.name + ": open wording but no open row in the tables");
            continue;
        }
        check_export(dll, e.name, ordinal, text);
    }
    for (const auto& t : he::kTemplateArguments) check_template(dll, t);
    for (const auto& name : set.absent)
        report(GetProcAddress(dll, name.c_str()) == nullptr, name + ": must not be exported");
    const auto past = static_cast<unsigned>(ordinals.size() + 1);
    report(GetProcAddress(dll, MAKEINTRESOURCEA(past)) == nullptr, "no ordinal above the highest");
    FreeLibrary(dll);
}

void threads() {
    he::test::ExpectedSet set;
    std::vector<std::string> names;
    for (const auto& e : expected_entries(set)) names.push_back(e.name);
    HMODULE dll = load();
    if (dll == nullptr) return;
    check_threads(dll, names);
    FreeLibrary(dll);
}

// ---- The UI font ---------------------------------------------------------

std::wstring wide(std::string_view cp1255) {
    std::wstring out(cp1255.size(), L'\0');
    const int n = MultiByteToWideChar(1255, 0, cp1255.data(), static_cast<int>(cp1255.size()), out.data(),
                                      static_cast<int>(out.size()));
    out.resize(static_cast<std::size_t>(std::max(n, 0)));
    return out;
}

// What an export delivers, as the editor asks for it.
std::string delivered(HMODULE dll, const std::string& name) {
    const auto fn = as_export(GetProcAddress(dll, name.c_str()));
    char buffer[256];
    return fn == nullptr ? std::string() : std::string(fn(buffer, 255));
}

HFONT make_font(const std::wstring& face, int height) {
    return CreateFontW(height, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, NONANTIALIASED_QUALITY, 0, face.c_str());
}

// Every character of every text has a glyph in the font: none is drawn as a box.
void check_glyphs(HMODULE dll, const std::wstring& face, const std::string& font) {
    HDC dc = CreateCompatibleDC(nullptr);
    HFONT f = make_font(face, 16);
    SelectObject(dc, f);
    wchar_t chosen[LF_FACESIZE] = {};
    GetTextFaceW(dc, LF_FACESIZE, chosen);
    report(face == chosen, "the font " + font + " is installed (Windows chose another)");
    std::vector<const he::Entry*> all;
    for (const auto& e : he::identity_entries()) all.push_back(&e);
    for (const auto& e : he::table_entries()) all.push_back(&e);
    for (const auto* e : all) {
        const std::string text = delivered(dll, std::string(e->name));
        std::string missing;
        for (const char byte : text) {
            const std::wstring c = wide(std::string_view(&byte, 1));
            WORD index = 0;
            if (byte == '\r' || c.size() != 1) continue;
            if (GetGlyphIndicesW(dc, c.data(), 1, &index, GGI_MARK_NONEXISTING_GLYPHS) == GDI_ERROR || index == 0xFFFF) {
                char code[16];
                std::snprintf(code, sizeof code, "U+%04X ", static_cast<unsigned>(c[0]));
                missing = code + he::test::to_utf8(std::string_view(&byte, 1));
                break;
            }
        }
        report(missing.empty(), std::string(e->name) + ": " + missing + " has no glyph in " + font);
    }
    DeleteDC(dc);
    DeleteObject(f);
}

// The text drawn into a bitmap: the inked pixels, row by row.
std::vector<unsigned char> drawn(const std::wstring& face, const std::wstring& text) {
    constexpr int kW = 240, kH = 40;
    HDC dc = CreateCompatibleDC(nullptr);
    BITMAPINFO bi{};
    bi.bmiHeader = {sizeof(BITMAPINFOHEADER), kW, -kH, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP bmp = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    SelectObject(dc, bmp);
    HFONT f = make_font(face, 24);
    SelectObject(dc, f);
    RECT r{0, 0, kW, kH};
    FillRect(dc, &r, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    SetTextColor(dc, RGB(0, 0, 0));
    SetBkMode(dc, TRANSPARENT);
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOPREFIX);
    GdiFlush();
    std::vector<unsigned char> ink(static_cast<std::size_t>(kW * kH));
    const auto* px = static_cast<const unsigned char*>(bits);
    for (std::size_t i = 0; i < ink.size(); ++i) ink[i] = px[i * 4] < 128 ? 1 : 0;
    DeleteObject(f);
    DeleteObject(bmp);
    DeleteDC(dc);
    return ink;
}

// A label drawn in the font holds text: ink, a different picture for
// different letters, and not the picture of characters the font lacks.
void check_pixels(HMODULE dll, const std::wstring& face, const std::string& font) {
    const std::wstring label = wide(delivered(dll, "GetTrLblWidth"));
    const auto text = drawn(face, label);
    std::size_t inked = 0;
    for (const auto p : text) inked += p;
    report(inked > 60, "GetTrLblWidth drawn in " + font + ": " + std::to_string(inked) + " inked pixels");
    report(drawn(face, wide(delivered(dll, "GetTrLblHeight"))) != text, "two labels of other letters draw alike");
    std::wstring unknown(label.size(), L'\0');  // private-use characters no font here has
    for (std::size_t i = 0; i < unknown.size(); ++i) unknown[i] = static_cast<wchar_t>(0xE000 + i);
    report(drawn(face, unknown) != text, "the label draws as characters the font lacks do (boxes)");
}

void glyphs(const std::string& font, const char* file) {
    if (file != nullptr) report(AddFontResourceExA(file, FR_PRIVATE, nullptr) > 0, std::string("the font file ") + file + " is added");
    HMODULE dll = load();
    if (dll == nullptr) return;
    std::wstring face(font.size(), L'\0');
    const int n = MultiByteToWideChar(CP_UTF8, 0, font.data(), static_cast<int>(font.size()), face.data(),
                                      static_cast<int>(face.size()));
    face.resize(static_cast<std::size_t>(std::max(n, 0)));
    check_glyphs(dll, face, font);
    check_pixels(dll, face, font);
    FreeLibrary(dll);
}

// How this process runs, as tools/wine-run tells it; Windows itself where nothing does.
std::string_view environment(const char* name, std::string_view otherwise) {
    const char* value = std::getenv(name);
    return value ? value : otherwise;
}

constexpr int kSkipped = 77;

}  // namespace

int main(int argc, char** argv) {
    const std::string_view phase = argc >= 2 ? argv[1] : "";
    const bool glyphs_phase = phase == "glyphs" && argc <= 4;
    if (!glyphs_phase && (argc != 2 || (phase != "calls" && phase != "threads"))) {
        std::printf("usage: host_test.exe calls|threads|glyphs [FONT [FILE]]\n");
        return 2;
    }
#if defined(__i386__)
    const char* dll = "x86";
#else
    const char* dll = "x64";
#endif
    if (phase == "threads" && environment("HE_WINE_ROUTE", "") == "x86-qemu") {
        std::printf("phase threads: skipped on the x86 DLL: qemu-i386 cannot run programs that start threads; "
                    "this phase runs where the kernel starts 32-bit programs, and on the x64 DLL under 64-bit Wine\n");
        return kSkipped;
    }
    std::printf("phase %s: DLLTranslation_HE.dll (%s) under %s\n", argv[1], dll,
                std::string(environment("HE_WINE_HOW", "Windows")).c_str());
    if (phase == "calls") calls();
    else if (phase == "threads") threads();
    else glyphs(argc >= 3 ? argv[2] : "DejaVu Sans", argc == 4 ? argv[3] : nullptr);
    std::printf("%d passed, %d failed\n", g_passed, g_failed);
    return g_failed == 0 ? 0 : 1;
}
