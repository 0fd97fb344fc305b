// The shipped DLLs, checked on the binary: what they import, what runs when
// they load, where their texts live, and that their export tables agree.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "catalogue/table.h"
#include "pe.h"

namespace {

constexpr std::uint32_t kWritable = 0x80000000u, kExecutable = 0x20000000u;

struct Dll {
    const char* path;
    std::uint16_t machine;
    std::string entry_code;  // all the entry point does: return TRUE
};

const Dll kDlls[] = {
    {HE_DLL_X86, 0x14C, std::string("\xB8\x01\x00\x00\x00\xC2\x0C\x00", 8)},  // mov eax, 1; ret 12
    {HE_DLL_X64, 0x8664, std::string("\xB8\x01\x00\x00\x00\xC3", 6)},         // mov eax, 1; ret
};

std::string file_bytes(const char* path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

class DllBinary : public testing::TestWithParam<Dll> {
protected:
    void SetUp() override {
        image = he::test::read_pe(GetParam().path);
        ASSERT_EQ(image.error, "") << "build the windows presets first";
        bytes = file_bytes(GetParam().path);
    }
    // The file bytes of a section, by name.
    std::string_view section(std::string_view name) const {
        for (const auto& s : image.sections)
            if (s.name == name) return std::string_view(bytes).substr(s.file_offset, s.raw_size);
        return {};
    }
    he::test::PeImage image;
    std::string bytes;
};

TEST_P(DllBinary, ImportsNothingAndHasNoThreadLocalStorage) {
    EXPECT_EQ(image.machine, GetParam().machine);
    EXPECT_TRUE(image.imports.empty()) << "imports " << image.imports.front();
    EXPECT_FALSE(image.has_tls) << "a TLS directory runs callbacks at every thread start";
}

TEST_P(DllBinary, TheEntryPointOnlyReportsSuccess) {
    for (const auto& s : image.sections) {
        if (image.entry_rva < s.rva || image.entry_rva >= s.rva + s.size) continue;
        EXPECT_TRUE(s.characteristics & kExecutable);
        const auto code = std::string_view(bytes).substr(s.file_offset + (image.entry_rva - s.rva), GetParam().entry_code.size());
        EXPECT_EQ(code, GetParam().entry_code);
        return;
    }
    ADD_FAILURE() << "no section holds the entry point";
}

TEST_P(DllBinary, NothingWritableAndTheTextsReadOnly) {
    for (const auto& s : image.sections) {
        // The loader wants the import directory writable even when, as here, it is empty.
        if (s.name == ".idata") continue;
        EXPECT_FALSE(s.characteristics & kWritable) << s.name << " is writable";
    }
    const std::string_view rdata = section(".rdata");
    for (const auto& e : he::table_entries()) {
        if (e.text.empty()) continue;
        EXPECT_NE(rdata.find(std::string(e.text) + '\0'), std::string_view::npos) << e.name << "'s text is not in .rdata";
    }
}

INSTANTIATE_TEST_SUITE_P(Shipped, DllBinary, testing::ValuesIn(kDlls),
                         [](const auto& info) { return info.param.machine == 0x14C ? "x86" : "x64"; });

TEST(DllBinary, BothBuildsExportTheSameNamesUnderTheSameOrdinals) {
    const auto x86 = he::test::read_pe(HE_DLL_X86), x64 = he::test::read_pe(HE_DLL_X64);
    ASSERT_EQ(x86.error, "");
    ASSERT_EQ(x64.error, "");
    ASSERT_EQ(x86.exports.size(), x64.exports.size());
    for (std::size_t i = 0; i < x86.exports.size(); ++i) {
        EXPECT_EQ(x86.exports[i].ordinal, x64.exports[i].ordinal);
        EXPECT_EQ(x86.exports[i].name, x64.exports[i].name);
    }
    EXPECT_EQ(x64.module_name, "DLLTranslation_HE.dll");
}

}  // namespace
