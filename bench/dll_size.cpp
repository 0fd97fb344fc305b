// The size of each built DLL against a floor computed from what it must
// carry: every export's name and text with their zero bytes, one minimal
// stub of 10 bytes per export (a move of the text's address and a jump), and
// its version resource.
//   dll_size DLL...
#include <cstdio>
#include <fstream>

#include "table.h"
#include "pe.h"

int main(int argc, char** argv) {
    std::size_t names = 0, texts = 0, exports = 0;
    for (const auto list : {he::identity_entries(), he::table_entries()})
        for (const auto& e : list) {
            names += e.name.size() + 1;
            texts += e.text.size() + 1;
            ++exports;
        }
    const std::size_t content = names + texts + 10 * exports;
    std::printf("content: %zu bytes of names + %zu of texts + %zu of stubs = %zu bytes, and the version resource\n", names,
                texts, 10 * exports, content);
    int status = 0;
    for (int i = 1; i < argc; ++i) {
        std::ifstream in(argv[i], std::ios::binary | std::ios::ate);
        const auto image = he::test::read_pe(argv[i]);
        if (!in || !image.error.empty()) {
            std::printf("%s: cannot read\n", argv[i]);
            status = 1;
            continue;
        }
        const auto size = static_cast<std::size_t>(in.tellg());
        const std::size_t floor = content + image.version_resource.size();
        std::printf("%s: %zu bytes, %.2fx the floor of %zu bytes\n", argv[i], size,
                    static_cast<double>(size) / static_cast<double>(floor), floor);
    }
    return status;
}
