// Loads DLLTranslation_HE.dll and shows what it delivers: the number of
// exported names and the texts of the exports named on the command line (by
// default the identity and a few catalogue entries), converted to UTF-8 with
// each CR shown as "⏎", and for the names asked for, the delivered bytes.
//   dllshow.exe [NAME...]
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "catalogue/utf8.h"

namespace {

using Export = char*(WINAPI*)(char*, int);

unsigned exported_names(HMODULE dll) {
    const auto* base = reinterpret_cast<const unsigned char*>(dll);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const auto& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    if (dir.VirtualAddress == 0) return 0;
    return reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + dir.VirtualAddress)->NumberOfNames;
}

}  // namespace

int main(int argc, char** argv) {
    HMODULE dll = LoadLibraryA("DLLTranslation_HE.dll");
    if (dll == nullptr) {
        std::fprintf(stderr, "dllshow: cannot load DLLTranslation_HE.dll (error %lu)\n", GetLastError());
        return 2;
    }
    std::vector<std::string> names(argv + 1, argv + argc);
    if (names.empty())
        names = {"GetTrLanguage", "GetTrCode", "GetTrTranslation", "GetTrDate", "GetTrVersion", "GetCompatibility",
                 "GetTrMnuFile", "GetTrMnuSave", "GetTrMnuRotate90cw", "GetTrFmtOpacity", "GetTrDlgMain2",
                 "GetTrLblWidth", "GetTrBtnOk", "GetDlgYes"};
    std::printf("DLLTranslation_HE.dll exports %u names\n", exported_names(dll));
    int missing = 0;
    for (const auto& name : names) {
        auto fn = reinterpret_cast<Export>(reinterpret_cast<void*>(GetProcAddress(dll, name.c_str())));
        if (fn == nullptr) {
            if (argc > 1) {
                std::printf("  %-24s (not exported)\n", name.c_str());
                ++missing;
            }
            continue;
        }
        char buffer[256];
        const std::string text = fn(buffer, 255);
        std::printf("  %-24s %s\n", name.c_str(), he::to_utf8(text, true).c_str());
        if (argc > 1) {  // the bytes themselves, for the names asked for
            std::printf("  %-24s %zu bytes:", "", text.size());
            for (const char c : text) std::printf(" %02X", static_cast<unsigned char>(c));
            std::printf(" 00\n");
        }
    }
    return missing == 0 ? 0 : 1;
}
