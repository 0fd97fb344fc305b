// Loads DLLTranslation_HE.dll and shows what it delivers: the number of
// exported names and the texts of the exports named on the command line (by
// default the identity and a few catalogue entries), converted to UTF-8 with
// each CR shown as "⏎", and for the names asked for, the delivered bytes.
//   dllshow.exe [NAME...]
//   dllshow.exe --all FILE [NAME...]   the same, and into FILE what every
//                             export delivers, as it shows a name asked for
// (./dev build writes FILE once per built DLL, so that ./dev show answers
// from what this DLL delivered under Wine without starting Wine again.)
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "utf8.h"

namespace {

using Export = char*(WINAPI*)(char*, int);

// The names the DLL's export table holds.
std::vector<std::string> exported_names(HMODULE dll) {
    const auto* base = reinterpret_cast<const unsigned char*>(dll);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const auto& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    std::vector<std::string> names;
    if (dir.VirtualAddress == 0) return names;
    const auto* exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + dir.VirtualAddress);
    const auto* rva = reinterpret_cast<const DWORD*>(base + exports->AddressOfNames);
    for (DWORD i = 0; i < exports->NumberOfNames; ++i) names.emplace_back(reinterpret_cast<const char*>(base + rva[i]));
    return names;
}

// What an export delivers at MaxLen 255, in UTF-8, and with its bytes.
std::string shown(Export fn, const std::string& name, bool bytes) {
    char buffer[256];
    const std::string text = fn(buffer, 255);
    char line[96];
    std::snprintf(line, sizeof line, "  %-24s ", name.c_str());
    std::string out = line + he::to_utf8(text, true) + "\n";
    if (bytes) {
        std::snprintf(line, sizeof line, "  %-24s %zu bytes and the zero byte:", "", text.size());
        out += line;
        for (const char c : text) {
            std::snprintf(line, sizeof line, " %02X", static_cast<unsigned char>(c));
            out += line;
        }
        out += " 00\n";
    }
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    HMODULE dll = LoadLibraryA("DLLTranslation_HE.dll");
    if (dll == nullptr) {
        std::fprintf(stderr, "dllshow: cannot load DLLTranslation_HE.dll (error %lu)\n", GetLastError());
        return 2;
    }
    const char* all = nullptr;
    if (argc >= 3 && std::string(argv[1]) == "--all") all = argv[2], argv += 2, argc -= 2;
    std::vector<std::string> names(argv + 1, argv + argc);
    const bool asked = !names.empty();
    if (!asked)
        names = {"GetTrLanguage", "GetTrCode", "GetTrTranslation", "GetTrDate", "GetTrVersion", "GetCompatibility",
                 "GetTrMnuFile", "GetTrMnuSave", "GetTrMnuRotate90cw", "GetTrFmtOpacity", "GetTrDlgMain2",
                 "GetTrLblWidth", "GetTrBtnOk", "GetDlgYes"};
    const auto exported = exported_names(dll);
    std::printf("DLLTranslation_HE.dll exports %zu names\n", exported.size());
    int missing = 0;
    for (const auto& name : names) {
        auto fn = reinterpret_cast<Export>(reinterpret_cast<void*>(GetProcAddress(dll, name.c_str())));
        if (fn == nullptr) {
            if (asked) {
                std::printf("  %-24s (not exported)\n", name.c_str());
                ++missing;
            }
            continue;
        }
        std::fputs(shown(fn, name, asked).c_str(), stdout);
    }
    if (all != nullptr) {
        FILE* out = std::fopen(all, "wb");
        bool ok = out != nullptr;
        for (const auto& name : exported)
            if (ok) ok = std::fputs(shown(reinterpret_cast<Export>(reinterpret_cast<void*>(GetProcAddress(dll, name.c_str()))), name, true).c_str(), out) >= 0;
        if (out == nullptr || std::fclose(out) != 0 || !ok) {
            std::fprintf(stderr, "dllshow: cannot write %s\n", all);
            return 2;
        }
    }
    return missing == 0 ? 0 : 1;
}
