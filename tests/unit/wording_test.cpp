// Layout facts of the menu captions and labels that a slip would break, and
// the counts of the whole catalogue. The rules every text follows are the
// maintainers' tool's check (hecat_test runs it over the catalogue).
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <sstream>
#include <string>

#include "table.h"
#include "arguments.h"
#include "rows.h"
#include "rules.h"

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

// One row per class of wording rule, broken: each is reported with the rule
// and the form it expects, all of them in one pass as hecat check lists them,
// the glossary's advice as advice; whole words only, prefixed letters allowed.
TEST(Wording, EachClassOfFormIsHeldAndNamed) {
    struct Case {
        const char *name, *family, *text, *english, *expect;
        bool advice = false;
    };
    const Case cases[] = {
        {"GetTrMnuBlur", "menus", "טישטוש", "Blur", "blur, the command is \"טשטש\" in the menu captions; this text lacks it"},
        {"GetTrMnuBlurMore", "menus", "טשטש נוסף", "Blur more", "more is \"יותר\" in the menu captions, not \"נוסף\""},
        {"GetTrMnuNoise", "menus", "רעש במסנן", "Noise", "in the menu captions, not \"מסנן\""},
        {"GetTrMnuClose", "menus", "סגירה", "Close", "a command captioned by an imperative; close is the example: it should read \"סגור\""},
        {"GetTrMnuExpSavingDir", "menus", "שמירה", "Saving folder", "it should begin with \"תיקיית \""},
        {"GetTrMnuTxtSand", "menus", "מרקם חול", "Sand", "it should not hold \"מרקם\""},
        {"GetTrMnuSoften", "menus", "ריכוך", "Soften", "one line of imperatives: it should open with one of \"רכך, טשטש, חדד, הדגש\""},
        {"GetTrLblAutoCreateImage", "labels", "צור אוטומטית תמונה", "Create", "it should end in one of \"אוטומטי, אוטומטית\""},
        {"GetTrLblFloating", "labels", "אל תאפשר ציפה", "Floating", "no other entry than these begins with \"אל תאפשר \" (GetTrLblDisableTrans"},
        {"GetTrLblSendToClipboard", "labels", "שלח לזיכרון", "Send", "it should hold \"לזיכרון הזמני\""},
        {"GetTrLblToolsAlign", "labels", "יישור סרגל הכלים", "Align", "tools window is \"לוח כלים, לוח הכלים\" in the catalogue, not \"סרגל הכלים\"", true},
        {"GetTrLblNone", "labels", "<ללא", "None", "angle brackets enclose a whole text"},
        {"GetTrLblBoth", "labels", "שניהם/כולם", "Both", "alternatives are joined by \" / \""},
        {"GetTrLblInterlaced", "labels", "שזור", "Interlaced PNG", "its English names PNG and the text does not"},
        {"GetTrLblResult", "labels", "תוצאה : טובה", "Result", "a label holds no colon"},
        {"GetTrLblArrow", "labels", "חץ והתר", "Arrow", "not \"התר\"", true},
    };
    std::vector<std::string> cp1255(std::size(cases));
    std::vector<he::Entry> rows;
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const std::string_view utf8 = cases[i].text;
        for (std::size_t at = 0; at < utf8.size();) {
            const auto step = he::cp1255::decode_one(utf8, at);
            cp1255[i] += static_cast<char>(step.byte);
            at += step.width;
        }
        rows.push_back({cases[i].name, cases[i].family, cp1255[i], utf8, cases[i].english, false, "t.inc", 1});
    }
    std::multimap<std::string, std::pair<std::string, bool>> reported;
    for (const auto& e : rows)
        he::rules::check_entry(e, false, [&](const he::Entry& r, const he::rules::Message& m) {
            reported.insert({std::string(r.name), {std::string(m.view()), m.advice}});
        });
    for (const auto& c : cases) {
        const auto [from, to] = reported.equal_range(c.name);
        EXPECT_TRUE(std::any_of(from, to, [&](const auto& r) {
            return r.second.first.find(c.expect) != std::string::npos && r.second.second == c.advice;
        })) << c.name << " should report: " << c.expect;
    }
    // Words are whole: the other choice "התר" is not in "התראה" nor in "התרחב".
    const he::Entry alarm{"GetTrLblArrow", "labels", "\xE4\xFA\xF8\xE0\xE4", "התראה", "", false, "t.inc", 1};
    const he::Entry widen{"GetTrLblArrow", "labels", "\xE4\xFA\xF8\xE7\xE1", "התרחב", "", false, "t.inc", 1};
    for (const auto& e : {alarm, widen})
        he::rules::check_entry(e, false, [&](const he::Entry&, const he::rules::Message& m) { ADD_FAILURE() << m.view(); });
}

}  // namespace
