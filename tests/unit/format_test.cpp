// Templates carry exactly the specifiers the editor passes arguments for,
// and no other text carries a "%".
#include <gtest/gtest.h>

#include <map>

#include "rows.h"
#include "templates.h"

namespace {

TEST(Templates, EachHasItsSpecifiersInOrder) {
    for (const auto& t : he::kTemplateArguments) {
        ASSERT_TRUE(he::test::all_rows().count(t.name)) << t.name << " has no row";
        EXPECT_EQ(he::specifiers_of(he::test::text_of(t.name)), t.specifiers) << t.name;
        // The English source the translators' files carry names the same arguments.
        EXPECT_EQ(he::specifiers_of(he::test::all_rows().at(t.name)->gloss), t.specifiers) << t.name << "'s English";
    }
}

TEST(Templates, NoOtherTextCarriesAPercentSign) {
    std::map<std::string_view, bool> is_template;
    for (const auto& t : he::kTemplateArguments) is_template[t.name] = true;
    for (const auto& [name, row] : he::test::all_rows()) {
        const auto text = row->text;
        if (is_template[name]) continue;
        if (name == "GetTrLblPct") {
            EXPECT_EQ(text, "%") << "the percent unit is a lone sign shown unformatted";
            continue;
        }
        EXPECT_EQ(text.find('%'), std::string_view::npos) << name << " carries a % but is no template";
    }
}

TEST(Templates, FillAsTheEditorFillsThem) {
    for (const auto& t : he::kTemplateArguments) {
        const std::string text(he::test::text_of(t.name));
        if (he::specifiers_of(text) != t.specifiers) continue;  // reported above; filling it could crash
        std::string filled;
        ASSERT_TRUE(he::test::fill_with_snprintf(text, t.specifiers, filled)) << t.name;
        EXPECT_EQ(filled, he::test::expected_fill(text)) << t.name;
        EXPECT_EQ(filled.find('%') == std::string::npos, t.specifiers.find("%%") == std::string_view::npos) << t.name;
    }
}

TEST(Templates, ArgumentOrderOfTheSelectionReadOuts) {
    std::string filled;
    ASSERT_TRUE(he::test::fill_with_snprintf("%d,%d ==> %d,%d (W=%d, H=%d, W/H=%s)", "%d %d %d %d %d %d %s", filled));
    EXPECT_EQ(filled, "101,102 ==> 103,104 (W=105, H=106, W/H=s1)");
    EXPECT_EQ(he::specifiers_of("a %d%% b %.2f %f %s %"), "%d %% %.2f %f %s %?");
}

}  // namespace
