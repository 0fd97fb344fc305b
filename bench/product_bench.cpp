// The cost of the shipped DLL as its host pays it: a Windows program built
// with the same toolchain loads DLLTranslation_HE.dll and times, interleaved
// in this one process, an export call against
//   - the floor: a copy of exactly the bytes the call delivers and the zero
//     store, behind a call of the same shape (a WINAPI function pointer);
//   - the same floor reached through one more jump, as an export reaches
//     the routine it shares with the other texts of its length;
//   - lstrcpynA of the same text, and LoadStringA from a string-table DLL of
//     the same texts (both the system's: Wine's here);
// then one pass over every export (a host filling its menus) against the
// same pass with the floor and with lstrcpynA, and LoadLibrary + FreeLibrary
// of the module against the string-table DLL, each loaded from scratch.
// Prints medians, the spread (quartiles) and the ratios, each the median of
// the ratios of the rounds.
//   product_bench.exe [ROUNDS]
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "table_rows.h"
#include "export.h"

namespace {

using Export = char*(WINAPI*)(char*, int);

double now_ns() {
    static const double ns_per_tick = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return 1e9 / static_cast<double>(f.QuadPart);
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) * ns_per_tick;
}

// The floor: exactly N bytes of the text and the zero byte, a copy whose
// length the compiler knows, behind the export's own kind of call. The text
// is read from memory, as any copy must; the compiler may not fold it into
// the code as constants.
template <he::cp1255::Utf8 S, std::uint32_t N>
[[gnu::noinline]] char* WINAPI floor_copy(char* buffer, int) {
    const char* text = he::cp1255::text<S>().data();
    asm("" : "+r"(text));
    __builtin_memcpy(buffer, text, N);
    buffer[N] = '\0';
    return buffer;
}

// The floor behind one direct jump (the call ends in a jump to floor_copy).
template <he::cp1255::Utf8 S, std::uint32_t N>
char* WINAPI floor_jump(char* buffer, int max_len) {
    return floor_copy<S, N>(buffer, max_len);
}

// The buffer every timed call writes to: one fixed place, on a cache line of
// its own, so that each run and each build times the same stores.
alignas(64) char g_buffer[260];

// Every row's floor at its whole length and cut to half, in the rows' order.
struct Floors {
    Export whole, half, whole_jump, half_jump;
};
const Floors kFloors[] = {
#define HE_ROW(Name, Family, Quoted, Text, English)                                                           \
    {&floor_copy<Text, he::cp1255::text<Text>().size()>, &floor_copy<Text, he::cp1255::text<Text>().size() / 2>, \
     &floor_jump<Text, he::cp1255::text<Text>().size()>, &floor_jump<Text, he::cp1255::text<Text>().size() / 2>},
#define HE_TABLE_identity
#define HE_ALL_TABLES
#include "catalogue/tables.inc"
};

struct Row {
    std::string_view name, text;
    UINT string_id;
    Floors floor;
};

std::vector<Row> rows() {
    std::vector<Row> out;
    for (const auto& e : he::kIdentityRows) out.push_back({e.name, e.text, 0, {}});
    for (const auto& e : he::kCatalogueRows) out.push_back({e.name, e.text, 0, {}});
    for (std::size_t i = 0; i < out.size(); ++i) out[i].string_id = static_cast<UINT>(i + 1), out[i].floor = kFloors[i];
    return out;
}

// The cases: texts of 0, 1, 5, about 40, 64 and 129 bytes, each with
// MaxLen 255 and cut to half its length.
constexpr std::string_view kCaseNames[] = {"GetTrCharset", "GetTrLblRed", "GetTrBtnPrint", "GetTrDlgBatch6",
                                           "GetTrDlgSel1", "GetTrFmtImageProperties"};

double quantile(std::vector<double> v, double q) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[static_cast<std::size_t>(q * static_cast<double>(v.size() - 1) + 0.5)];
}

// The median over rounds of a[k] / b[k]: each ratio is taken between
// timings made moments apart, so that a change of clock speed or of load on
// the machine between rounds leaves it alone.
double ratio(const std::vector<double>& a, const std::vector<double>& b) {
    std::vector<double> r;
    for (std::size_t k = 0; k < a.size() && k < b.size(); ++k) r.push_back(a[k] / b[k]);
    return quantile(r, 0.5);
}

std::string spread(const std::vector<double>& v) {
    char s[64];
    std::snprintf(s, sizeof s, "%.2f [%.2f-%.2f]", quantile(v, 0.5), quantile(v, 0.25), quantile(v, 0.75));
    return s;
}

// Times `calls` iterations of fn and returns ns per iteration.
template <class Fn>
double per_call(int calls, Fn&& fn) {
    const double start = now_ns();
    for (int i = 0; i < calls; ++i) fn();
    return (now_ns() - start) / calls;
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 31;
    HMODULE dll = LoadLibraryA("DLLTranslation_HE.dll");
    HMODULE strings = LoadLibraryA("he_strings.dll");
    if (dll == nullptr || strings == nullptr) {
        std::fprintf(stderr, "product_bench: cannot load DLLTranslation_HE.dll or he_strings.dll (run it beside both)\n");
        return 2;
    }
    const std::vector<Row> all = rows();
    std::vector<Export> exports;
    for (const auto& r : all) exports.push_back(reinterpret_cast<Export>(reinterpret_cast<void*>(GetProcAddress(dll, std::string(r.name).c_str()))));
    if (std::count(exports.begin(), exports.end(), nullptr) != 0) {
        std::fprintf(stderr, "product_bench: the DLL lacks an export of the tables\n");
        return 2;
    }

    struct Case {
        const Row* row;
        int max_len;
        Export fn, floor, floor_jump;
        std::vector<double> times[5];  // export, floor, floor behind a jump, lstrcpynA, LoadStringA
    };
    std::vector<Case> cases;
    for (std::size_t c = 0; c < std::size(kCaseNames); ++c) {
        const auto it = std::find_if(all.begin(), all.end(), [&](const Row& r) { return r.name == kCaseNames[c]; });
        const auto index = static_cast<std::size_t>(it - all.begin());
        for (int cut = 0; cut < 2; ++cut) {
            const int max_len = cut ? static_cast<int>(it->text.size() / 2) : 255;
            if (cut && it->text.size() < 2) continue;
            cases.push_back({&*it, max_len, exports[index], cut ? it->floor.half : it->floor.whole,
                             cut ? it->floor.half_jump : it->floor.whole_jump, {}});
            // The floor must deliver what the export delivers, or it is no floor.
            char a[260], b[260];
            if (std::string_view(exports[index](a, max_len)) != std::string_view(cases.back().floor(b, max_len))) {
                std::fprintf(stderr, "product_bench: the floor of %s differs from the export\n", it->name.data());
                return 2;
            }
        }
    }

    // Wine starts its own service processes beside a program; let them settle
    // before timing, so that they do not share the cores with the first rounds.
    Sleep(2000);

    constexpr int kCalls = 2000;
    char* const buffer = g_buffer;
    std::vector<double> pass[3], load[2];
    for (int round = 0; round < rounds; ++round) {
        for (auto& c : cases) {
            Export volatile fn = c.fn, floor = c.floor, floor_jump = c.floor_jump;
            const char* text = c.row->text.data();
            const int max = c.max_len;
            c.times[0].push_back(per_call(kCalls, [&] { fn(buffer, max); }));
            c.times[1].push_back(per_call(kCalls, [&] { floor(buffer, max); }));
            c.times[2].push_back(per_call(kCalls, [&] { floor_jump(buffer, max); }));
            c.times[3].push_back(per_call(kCalls, [&] { lstrcpynA(buffer, text, max + 1); }));
            c.times[4].push_back(per_call(kCalls, [&] { LoadStringA(strings, c.row->string_id, buffer, max + 1); }));
        }
        // One pass over all 743 entries, as a host filling its menus and dialogs.
        pass[0].push_back(per_call(20, [&] { for (const auto fn : exports) fn(buffer, 255); }));
        pass[1].push_back(per_call(20, [&] { for (const auto& r : all) r.floor.whole(buffer, 255); }));
        pass[2].push_back(per_call(20, [&] { for (const auto& r : all) lstrcpynA(buffer, r.text.data(), 256); }));
    }
    // Loading from scratch, as a host does once: neither DLL stays loaded.
    FreeLibrary(strings);
    FreeLibrary(dll);
    for (int round = 0; round < rounds; ++round) {
        load[0].push_back(per_call(5, [&] { FreeLibrary(LoadLibraryA("DLLTranslation_HE.dll")); }));
        load[1].push_back(per_call(5, [&] { FreeLibrary(LoadLibraryA("he_strings.dll")); }));
    }

    std::printf("DLLTranslation_HE.dll (%s), %d rounds of %d calls per case; ns per call, median [quartiles]\n",
                sizeof(void*) == 4 ? "32-bit" : "64-bit", rounds, kCalls);
    std::printf("lstrcpynA, LoadStringA, LoadLibraryA and FreeLibrary are the system's (Wine's under Wine)\n\n");
    std::printf("%-26s %5s %7s  %-20s %-20s %6s  %-20s %6s  %-22s %6s  %-22s %6s\n", "case", "bytes", "MaxLen",
                "export", "floor", "ratio", "floor + jump", "ratio", "lstrcpynA", "ratio", "LoadStringA", "ratio");
    double worst = 0;
    for (const auto& c : cases) {
        worst = std::max(worst, ratio(c.times[0], c.times[1]));
        std::printf("%-26s %5zu %7d  %-20s %-20s %5.2fx  %-20s %5.2fx  %-22s %5.2fx  %-22s %5.2fx\n",
                    c.row->name.data(), std::min<std::size_t>(c.row->text.size(), static_cast<unsigned>(c.max_len)),
                    c.max_len, spread(c.times[0]).c_str(), spread(c.times[1]).c_str(), ratio(c.times[0], c.times[1]),
                    spread(c.times[2]).c_str(), ratio(c.times[0], c.times[2]), spread(c.times[3]).c_str(),
                    ratio(c.times[0], c.times[3]), spread(c.times[4]).c_str(), ratio(c.times[0], c.times[4]));
    }
    std::printf("worst export / floor: %.2fx\n\n", worst);
    std::printf("all %zu exports, one pass (ns): export %s, floor %s (%.2fx), lstrcpynA %s (%.2fx)\n", all.size(),
                spread(pass[0]).c_str(), spread(pass[1]).c_str(), ratio(pass[0], pass[1]), spread(pass[2]).c_str(),
                ratio(pass[0], pass[2]));
    std::printf("LoadLibraryA + FreeLibrary (ns): DLLTranslation_HE.dll %s, string-table DLL %s (%.2fx)\n",
                spread(load[0]).c_str(), spread(load[1]).c_str(), ratio(load[0], load[1]));
    return 0;
}
