// The shipped DLLs, checked on the binary: what they import, what runs when
// they load, where their texts live, and that their export tables agree.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <set>
#include <string>

#include "table.h"
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
    // The code at an address of the image, to the end of its section; empty
    // where no executable section holds the address.
    std::string_view code_at(std::uint32_t rva) const {
        for (const auto& s : image.sections)
            if (rva >= s.rva && rva < s.rva + s.raw_size && (s.characteristics & kExecutable))
                return std::string_view(bytes).substr(s.file_offset + (rva - s.rva), s.raw_size - (rva - s.rva));
        return {};
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
    EXPECT_EQ(bytes.find("GCC: ("), std::string::npos) << "a compiler identification string";
}

TEST_P(DllBinary, TheEntryPointOnlyReportsSuccess) {
    EXPECT_EQ(code_at(image.entry_rva).substr(0, GetParam().entry_code.size()), GetParam().entry_code);
}

// Every export reaches the copy of its text in one jump at most. Folded
// together, exports of the same text would be jumps to one another, a jump
// more on every call.
TEST_P(DllBinary, NoExportJumpsToAnother) {
    std::set<std::uint32_t> entries;
    for (const auto& e : image.exports) entries.insert(e.rva);
    for (const auto& e : image.exports) {
        const auto code = code_at(e.rva);
        ASSERT_GE(code.size(), 5u) << e.name;
        const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(code[i]); };
        std::uint32_t target = 0;
        if (byte(0) == 0xEB) target = e.rva + 2 + static_cast<std::uint32_t>(static_cast<std::int8_t>(byte(1)));
        if (byte(0) == 0xE9) target = e.rva + 5 + (byte(1) | byte(2) << 8 | byte(3) << 16 | static_cast<std::uint32_t>(byte(4)) << 24);
        EXPECT_FALSE(entries.count(target)) << e.name << " is a jump to another export";
    }
}

TEST_P(DllBinary, NothingWritableAndTheTextsReadOnly) {
    for (const auto& s : image.sections) {
        // The loader wants the import directory writable even when, as here, it
        // is empty; GNU ld marks the resource section writable, and it holds
        // only the version resource.
        if (s.name == ".idata" || s.name == ".rsrc") continue;
        EXPECT_FALSE(s.characteristics & kWritable) << s.name << " is writable";
    }
    const std::string_view rdata = section(".rdata");
    for (const auto& e : he::table_entries()) {
        if (e.text.empty()) continue;
        EXPECT_NE(rdata.find(std::string(e.text) + '\0'), std::string_view::npos) << e.name << "'s text is not in .rdata";
    }
}

// Properties > Details and installers read the version resource, which says
// the release's version; the editor reads GetTrVersion, the identity value of
// the translation, which releases do not change.
TEST_P(DllBinary, CarriesTheHebrewVersionResource) {
    EXPECT_EQ(image.image_version[0], HE_VERSION_MAJOR);
    EXPECT_EQ(image.image_version[1], HE_VERSION_MINOR);
    EXPECT_EQ(image.subsystem, 2) << "a GUI DLL";
    EXPECT_EQ(image.version_language, 0x040Du);
    const auto info = he::test::read_version(image.version_resource);
    const std::string fixed = info.get("VS_VERSION_INFO");
    ASSERT_EQ(fixed.size(), 52u);
    const auto u32 = [&](std::size_t at) {
        std::uint32_t v = 0;
        for (std::size_t i = 4; i-- > 0;) v = (v << 8) | static_cast<unsigned char>(fixed[at + i]);
        return v;
    };
    EXPECT_EQ(u32(0), 0xFEEF04BDu) << "VS_FIXEDFILEINFO signature";
    const std::uint32_t major_minor = (HE_VERSION_MAJOR << 16) | HE_VERSION_MINOR;
    EXPECT_EQ(u32(8), major_minor) << "file version " HE_VERSION;
    EXPECT_EQ(u32(16), major_minor) << "product version " HE_VERSION;
    EXPECT_EQ(u32(28), 0u) << "a release: no private-build flag";
    EXPECT_EQ(u32(32), 0x00040004u) << "VOS_NT_WINDOWS32";
    EXPECT_EQ(u32(36), 2u) << "VFT_DLL";
    const std::string strings = "VS_VERSION_INFO/StringFileInfo/040D04E7/";
    EXPECT_EQ(info.get(strings + "OriginalFilename"), "DLLTranslation_HE.dll");
    EXPECT_EQ(info.get(strings + "InternalName"), "DLLTranslation_HE");
    EXPECT_EQ(info.get(strings + "FileVersion"), HE_VERSION);
    EXPECT_EQ(info.get(strings + "ProductVersion"), HE_VERSION);
    for (auto key : {"CompanyName", "FileDescription", "LegalCopyright", "ProductName"})
        EXPECT_NE(info.get(strings + key), "<missing>") << key;
    EXPECT_EQ(info.get("VS_VERSION_INFO/VarFileInfo/Translation"), std::string("\x0D\x04\xE7\x04", 4));
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
