// The tables, the export list and the expected texts agree.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

#include "table.h"
#include "expected.h"
#include "native_exports.h"

extern const char kExpectedTexts[];

namespace {

const he::test::ExpectedSet& expected() {
    static const he::test::ExpectedSet set = he::test::parse_expected(kExpectedTexts);
    return set;
}

TEST(Tables, DataFileReads) {
    for (const auto& error : expected().errors) ADD_FAILURE() << error;
}

TEST(Tables, MismatchesAreDescribedForTheTranslator) {
    EXPECT_EQ(he::test::difference("ab ", "ab"),
              "byte 3 is a blank (0x20) in the table and the end of the text in tests/data/texts.txt");
    EXPECT_EQ(he::test::difference("a\xE0", "a\xE1"), "byte 2 is א (0xE0) in the table and ב (0xE1) in tests/data/texts.txt");
    const auto set = he::test::parse_expected("\xEF\xBB\xBF# texts\n[identity]\nGetTrCode \"HE\"\nGetTrDate \"\xE2\x80\x8F" "1\"\n");
    ASSERT_EQ(set.errors.size(), 2u);
    EXPECT_TRUE(set.errors[0].starts_with("tests/data/texts.txt:1: starts with a byte order mark")) << set.errors[0];
    EXPECT_TRUE(set.errors[1].starts_with("tests/data/texts.txt:4: the text holds a character")) << set.errors[1];
    EXPECT_EQ(set.identity.size(), 1u);
}

TEST(Tables, ExportListIsTheCatalogueOrder) {
    std::vector<std::string> listed(he::catalogue_order().begin(), he::catalogue_order().end());
    std::vector<std::string> wanted;
    for (const auto& e : expected().catalogue) wanted.push_back(e.name);
    EXPECT_EQ(listed, wanted);
}

TEST(Tables, EveryListedNameHasOneRowAndEveryRowOneName) {
    std::map<std::string_view, int> rows;
    for (const auto& e : he::table_entries()) rows[e.name]++;
    std::set<std::string_view> listed;
    for (auto name : he::catalogue_order()) {
        EXPECT_TRUE(listed.insert(name).second) << name << " listed twice";
        EXPECT_EQ(rows[name], 1) << name << " has " << rows[name] << " rows";
    }
    for (const auto& [name, count] : rows) EXPECT_TRUE(listed.count(name)) << name << " has a row but is not listed";
}

TEST(Tables, EachTableFollowsTheCatalogueOrder) {
    std::map<std::string_view, std::size_t> position;
    for (std::size_t i = 0; i < he::catalogue_order().size(); ++i) position[he::catalogue_order()[i]] = i;
    std::map<std::string_view, std::size_t> last_in_family;
    for (const auto& e : he::table_entries()) {
        auto [it, first] = last_in_family.try_emplace(e.family, position[e.name]);
        if (!first) {
            EXPECT_GT(position[e.name], it->second) << e.name << " stands out of order in its table";
            it->second = position[e.name];
        }
    }
}

TEST(Tables, TextsAreTheExpectedOnes) {
    std::map<std::string_view, const he::Entry*> rows;
    for (const auto& e : he::table_entries()) rows[e.name] = &e;
    for (const auto& e : he::identity_entries()) rows[e.name] = &e;
    for (const auto* list : {&expected().identity, &expected().catalogue})
        for (const auto& want : *list) {
            const auto it = rows.find(want.name);
            if (it == rows.end()) {
                ADD_FAILURE() << want.name << " has no row";
                continue;
            }
            EXPECT_EQ(it->second->quoted, !want.open) << want.name << ": quoted in one place, written for this module in the other";
            if (!want.open) {
                EXPECT_EQ(he::test::difference(it->second->text, want.bytes), "")
                    << "tests/data/texts.txt:" << want.line << ": " << want.name << " (" << it->second->file << ":"
                    << it->second->line << ") delivers \"" << he::test::to_utf8(it->second->text) << "\", the file has \""
                    << he::test::to_utf8(want.bytes) << "\"";
            }
        }
}

TEST(Tables, EveryExportDeliversItsRow) {
    std::map<std::string_view, std::string_view> text;
    for (const auto& e : he::table_entries()) text[e.name] = e.text;
    for (const auto& e : he::identity_entries()) text[e.name] = e.text;
    ASSERT_EQ(std::size(he::kNativeExports), text.size());
    for (const auto& [name, fn] : he::kNativeExports) {
        char buffer[140];
        ASSERT_EQ(fn(buffer, 255), buffer);
        EXPECT_EQ(std::string_view(buffer), text[name]) << name;
    }
}

}  // namespace
