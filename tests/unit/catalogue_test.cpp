// Layout facts of the catalogue's texts that a slip in a table would break:
// line breaks, quote bytes, marks at the logical start, equal texts.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>

#include "rows.h"

namespace {

using he::test::all_rows;
constexpr auto text = he::test::text_of;

std::size_t count(std::string_view s, char c) { return static_cast<std::size_t>(std::count(s.begin(), s.end(), c)); }

TEST(Catalogue, LineBreaksAreSingleCrsInsideTheText) {
    const std::map<std::string_view, std::size_t> crs = {
        {"GetTrFmtImageProperties", 9}, {"GetTrFmtExploreProperties", 7}, {"GetTrDlgMain6", 2},
        {"GetTrDlgMain4", 1}, {"GetTrDlgMain7", 1}, {"GetTrDlgPrint5", 1}, {"GetTrDlgBatch4", 1},
        {"GetTrDlgImage7", 1}, {"GetTrDlgImage9", 1}, {"GetTrDlgImage11", 1}, {"GetTrDlgTwain1", 1},
        {"GetTrDlgTwain2", 1}, {"GetTrDlgTool1", 1}, {"GetTrDlgTool2", 1}};
    for (const auto& [name, row] : all_rows()) {
        const auto t = row->text;
        EXPECT_EQ(count(t, '\n'), 0u) << name;
        const auto it = crs.find(name);
        EXPECT_EQ(count(t, '\r'), it == crs.end() ? 0u : it->second) << name;
        EXPECT_TRUE(t.empty() || (t.front() != '\r' && t.back() != '\r')) << name;
    }
    // The two property summaries have empty lines between their groups, nowhere else.
    const std::string image(text("GetTrFmtImageProperties"));
    EXPECT_EQ(image.find("\r\r"), image.find("%d\r\r") + 2);
    EXPECT_NE(image.find("%s\r\r"), std::string::npos);
    const std::string explore(text("GetTrFmtExploreProperties"));
    EXPECT_EQ(explore.size(), 79u);
    EXPECT_EQ(explore.find("\r\r\r"), std::string::npos);
}

TEST(Catalogue, TheLongestTextAndItsCut) {
    std::size_t longest = 0;
    for (const auto& [name, row] : all_rows()) longest = std::max(longest, row->text.size());
    EXPECT_EQ(longest, 129u);
    const auto image = text("GetTrFmtImageProperties");
    ASSERT_EQ(image.size(), 129u);
    EXPECT_EQ(image.substr(0, 128).back(), '%') << "a cut at 128 leaves a lone %";
    EXPECT_EQ(text("GetTrDlgMain6").size(), 91u);
    EXPECT_EQ(text("GetTrDlgTool1").size(), 91u);
}

TEST(Catalogue, DoubleQuotesAroundFileNames) {
    EXPECT_EQ(count(text("GetTrDlgMain1"), '"'), 2u);
    EXPECT_EQ(text("GetTrDlgMain1").substr(0, 2), ".\xE4");  // full stop, then the first letter
    for (auto name : {"GetTrDlgImage7", "GetTrDlgImage9", "GetTrDlgImage11"}) {
        EXPECT_EQ(count(text(name), '"'), 4u) << name;
        const auto second = text(name).substr(text(name).find('\r') + 1);
        EXPECT_EQ(second.substr(0, 5), "? \"%s") << name;
        EXPECT_EQ(second.substr(second.size() - 2), " \xEC") << name;  // ends in the lone preposition
    }
    EXPECT_EQ(text("GetTrDlgImage7").front(), '"');
    EXPECT_EQ(text("GetTrDlgImage7").size(), 26u);
    const auto opening = text("GetOeMsgErrorOpening"), saving = text("GetOeMsgErrorSaving");
    EXPECT_EQ(opening.substr(0, 7), "! \"%s\" ");
    ASSERT_EQ(opening.size(), 39u);
    ASSERT_EQ(saving.size(), 39u);
    for (std::size_t i = 0; i < 39; ++i) {
        const bool verb = i == 19 || i == 20 || i == 22;  // bytes 20, 21 and 23 differ
        EXPECT_EQ(opening[i] != saving[i], verb) << "byte " << i + 1;
    }
}

TEST(Catalogue, MarksStandWhereTheBoxShowsThemLast) {
    const auto main4 = text("GetTrDlgMain4");
    EXPECT_EQ(main4.substr(main4.find('\r') + 1, 5), "?GIF ");
    EXPECT_EQ(text("GetTrDlgBatch3").substr(0, 9), "Imbrosia-");
    EXPECT_EQ(text("GetTrDlgBatch3").substr(50), " \xEE");
    EXPECT_EQ(text("GetTrDlgTool1").substr(0, 5), "Ctrl ");
    EXPECT_EQ(count(text("GetTrDlgImage5"), '('), 2u);
    EXPECT_EQ(count(text("GetTrDlgImage5"), ')'), 0u);
    for (auto name : {"GetTrDlgPrint3", "GetTrDlgPrint4"}) EXPECT_EQ(text(name).substr(text(name).size() - 2), " \xEC") << name;
    EXPECT_EQ(text("GetTrStaFmtExploring").substr(8, 2), "%d");
    EXPECT_EQ(text("GetTrFmtHue").substr(text("GetTrFmtHue").size() - 3), "%d\xB0");
}

TEST(Catalogue, BytesTheHostReadsAsValuesOrKeys) {
    EXPECT_EQ(text("GetDlgYes"), "&\xEB\xEF");
    EXPECT_EQ(text("GetDlgNo"), "&\xEC\xE0");
    EXPECT_EQ(text("GetMnuShift"), "Shift+");
    EXPECT_EQ(text("GetDlgKb"), "Kb");
    EXPECT_EQ(text("GetTrStaFlagRVB"), "16M");
    EXPECT_EQ(text("GetTrPrnUnit"), "1");
    EXPECT_EQ(text("GetTrMonDecember"), "\xE3\xF6\xE1\xEE\xF8");
    EXPECT_EQ(text("GetDlgPictureFmt").substr(0, 6), "%dx%d ");
    EXPECT_EQ(text("GetDlgPictureNone").front(), '(');
    EXPECT_EQ(text("GetDlgPictureNone").back(), ')');
    EXPECT_EQ(text("GetTrFmtFileDate"), "");
    EXPECT_EQ(text("GetTrCharset"), "");
    for (const auto& [name, row] : all_rows()) {
        const bool modifier = name == "GetMnuShift" || name == "GetMnuCtrl" || name == "GetMnuAlt";
        EXPECT_EQ(count(row->text, '+'), modifier ? 1u : 0u) << name;
    }
}

TEST(Catalogue, EqualTextsAcrossFamilies) {
    const std::pair<std::string_view, std::string_view> pairs[] = {
        {"GetTrBtnOk", "GetDlgOk"}, {"GetTrBtnCancel", "GetDlgCancel"}, {"GetTrBtnPreview", "GetDlgPicturePreview"}};
    for (const auto& [a, b] : pairs) EXPECT_EQ(text(a), text(b)) << a << " and " << b;
}

}  // namespace
