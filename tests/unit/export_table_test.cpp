// Reads the built DLL and holds its export table, imports and shape to the
// numbering rule over the expected catalogue order.
#include <gtest/gtest.h>

#include "expected.h"
#include "pe.h"

extern const char kExpectedTexts[];

namespace {

const he::test::PeImage& dll() {
    static const he::test::PeImage image = he::test::read_pe(HE_DLL_X86);
    return image;
}

TEST(ExportTable, IsReadable) {
    ASSERT_EQ(dll().error, "") << "build the windows-x86 preset first";
    EXPECT_EQ(dll().machine, 0x14C) << "not a 32-bit x86 image";
}

TEST(ExportTable, NamesAndOrdinalsFollowTheRule) {
    ASSERT_EQ(dll().error, "");
    const auto set = he::test::parse_expected(kExpectedTexts);
    const auto wanted = he::test::expected_ordinals(set);
    EXPECT_EQ(dll().module_name, "DLLTranslation_HE.dll");
    EXPECT_EQ(dll().function_count, wanted.size()) << "ordinals are not dense";
    ASSERT_EQ(dll().exports.size(), wanted.size());
    for (std::size_t i = 0; i < wanted.size(); ++i) {
        EXPECT_EQ(dll().exports[i].ordinal, wanted[i].ordinal);
        EXPECT_EQ(dll().exports[i].name, wanted[i].name) << "at ordinal " << wanted[i].ordinal;
    }
}

}  // namespace
