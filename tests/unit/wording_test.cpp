// Layout facts of the menu captions and labels that a slip would break, and
// the counts of the whole catalogue. The rules every text follows are the
// maintainers' tool's check (hecat_test runs it over the catalogue).
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <sstream>
#include <string>

#include "catalogue/table.h"
#include "catalogue/arguments.h"
#include "rows.h"

namespace {

bool is_hebrew_letter(char c) { return static_cast<unsigned char>(c) >= 0xE0 && static_cast<unsigned char>(c) <= 0xFA; }

using he::test::all_rows;
constexpr auto text = he::test::text_of;

TEST(Wording, MenuCaptionEdgeCases) {
    EXPECT_EQ(text("GetTrMnuHelp"), "?");
    for (auto name : {"GetTrMnuRotate90cw", "GetTrMnuRotate90ccw", "GetTrMnuRotate180"}) {
        const auto t = text(name);
        const auto degree = t.find('\xB0');
        ASSERT_NE(degree, std::string_view::npos) << name;
        EXPECT_EQ(t[degree - 1], ' ') << name;
        EXPECT_TRUE(degree + 1 < t.size() && t[degree + 1] >= '1' && t[degree + 1] <= '9') << name;
    }
    EXPECT_EQ(text("GetTrMnuRotate180").substr(0, 6), "\xF1\xE5\xE1\xE1 \xB0");
    const std::string_view format = "\xF4\xE5\xF8\xEE\xE8";  // the word for format
    EXPECT_EQ(text("GetTrMnuSelRatio2"), std::string(format) + " 2:1");  // the word first
    EXPECT_EQ(text("GetTrMnuSelRatio3"), "3:2 " + std::string(format));  // the ratio first
    EXPECT_EQ(text("GetTrMnuSelRatio4"), "4:3 " + std::string(format));
    EXPECT_EQ(text("GetTrMnuSelRatio5"), "16:9 " + std::string(format));
    for (auto name : {"GetTrMnuPasteInto", "GetTrMnuColorize", "GetTrMnuMoveTo", "GetTrMnuCopyTo"}) {
        const auto t = text(name);
        EXPECT_TRUE(t.size() > 2 && t[t.size() - 2] == ' ' && is_hebrew_letter(t.back())) << name;
    }
    EXPECT_EQ(text("GetTrMnuSimpleFrame").size(), 12u);
    EXPECT_EQ(text("GetTrMnuSimpleFrame").back(), ' ');
    EXPECT_EQ(text("GetTrMnuAboutImbrosia").size(), 26u);
    EXPECT_EQ(text("GetTrMnuLoadOrdelith").size(), 26u);
}

TEST(Wording, LabelEdgeCases) {
    EXPECT_EQ(text("GetTrLblPct"), "%");
    EXPECT_EQ(text("GetTrLblRed"), "R");
    EXPECT_EQ(text("GetTrLblGreen"), "G");
    EXPECT_EQ(text("GetTrLblBlue"), "B");
    EXPECT_TRUE(text("GetTrLblColor").starts_with(": ")) << "the field caption, not the colour mode";
    EXPECT_EQ(text("GetTrLblModeColor"), "\xF6\xE1\xF2");
    const auto interrupted = text("GetTrLblBatchInterrupted");
    ASSERT_EQ(interrupted.size(), 33u);
    EXPECT_EQ(interrupted.substr(0, 32).back(), ' ') << "a cut at 32 ends in the blank before the mark";
    EXPECT_TRUE(text("GetTrLblAssemblePos").ends_with(" \xE1"));
    EXPECT_EQ(text("GetTrLblRGB_BGR"), "RGB ==> BGR");
    EXPECT_EQ(text("GetTrWallpaperFileName"), "Imbrosia-Wallpaper.bmp");
    EXPECT_NE(text("GetTrLblFilter2").find("(\xE3\xE5\xE2\xEE\xE0 : *.jpg;*.bmp)"), std::string_view::npos);
    std::size_t longest = 0;
    for (const auto& e : he::table_entries())
        if (e.family == "labels") longest = std::max(longest, e.text.size());
    EXPECT_EQ(longest, 33u);
}

// The whole catalogue against the counts the host's translators work from.
TEST(Wording, CatalogueCounts) {
    std::size_t hebrew = 0, ascii = 0, empty = 0, multiline = 0;
    std::map<std::string, int> specifiers;
    for (const auto& [name, e] : all_rows()) {
        const auto t = e->text;
        if (t.empty()) ++empty;
        else if (std::any_of(t.begin(), t.end(), is_hebrew_letter)) ++hebrew;
        else ++ascii;
        if (t.find('\r') != std::string_view::npos) ++multiline;
        std::istringstream found(he::specifiers_of(t));
        for (std::string specifier; found >> specifier;) specifiers[specifier]++;
    }
    EXPECT_EQ(all_rows().size(), 743u);
    EXPECT_EQ(he::catalogue_order().size(), 736u);
    EXPECT_EQ(hebrew, 696u);
    EXPECT_EQ(ascii, 45u);
    EXPECT_EQ(empty, 2u);
    EXPECT_EQ(multiline, 14u);
    EXPECT_EQ(specifiers["%?"], 1) << "the one lone % is the percent unit's";
    specifiers.erase("%?");
    EXPECT_EQ(specifiers, (std::map<std::string, int>{{"%d", 44}, {"%s", 25}, {"%f", 6}, {"%.2f", 4}, {"%%", 12}}));
}

}  // namespace
