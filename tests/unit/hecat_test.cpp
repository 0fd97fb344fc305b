// The maintainers' tool: it reads from the table files what the compiler
// builds from them, its check finds what it should, its names and ordinals
// match the built DLL, its readings read as a reader reads.
#include <gtest/gtest.h>

#include <fribidi.h>
#include <stdlib.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <list>
#include <map>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "table.h"
#include "utf8.h"
#include "arguments.h"
#include "bases.h"
#include "check.h"
#include "layout.h"
#include "model.h"
#include "po.h"
#include "pe.h"
#include "reading.h"
#include "spreadsheet.h"
#include "table_files.h"
#include "table_text.h"

namespace {

using he::Entry;

// The tables as hecat reads them from this checkout's files, read once.
const he::tool::Catalogue& checkout_tables() {
    static const he::tool::Catalogue read = he::tool::read_catalogue(HE_SOURCE_DIR);
    return read;
}

// Entry for entry, byte for byte, hecat reads from the files what the
// compiler builds from them, and the same export list and ordinals.
TEST(HecatTables, TheReaderReadsWhatTheCompilerBuilds) {
    const auto& read = checkout_tables();
    for (const auto& f : read.unread) ADD_FAILURE() << f.where << ": " << f.name << ": " << f.message;
    const auto same = [](std::span<const Entry> files, std::span<const Entry> built) {
        ASSERT_EQ(files.size(), built.size());
        for (std::size_t i = 0; i < built.size(); ++i) {
            const Entry &a = files[i], &b = built[i];
            EXPECT_EQ(std::tie(a.name, a.family, a.text, a.utf8, a.gloss, a.quoted, a.file, a.line),
                      std::tie(b.name, b.family, b.text, b.utf8, b.gloss, b.quoted, b.file, b.line))
                << "row " << i << ", " << b.name;
        }
    };
    same(read.identity, he::identity_entries());
    same(read.rows, he::table_entries());
    EXPECT_TRUE(std::ranges::equal(read.order, he::catalogue_order()));
    EXPECT_TRUE(std::ranges::equal(read.by_ordinal, he::exports_by_ordinal()));
    EXPECT_TRUE(std::ranges::equal(read.fields, he::field_captions()));
    EXPECT_FALSE(he::field_captions().empty());
}

// What the reader cannot read, it names at its file and line, and reads on:
// one table per case, its rows after the bad one still read.
TEST(HecatTables, WhatTheReaderCannotReadIsAFindingAtItsLine) {
    const struct {
        std::string_view table, finding;  // finding: "line: what it says", empty where all is read
    } cases[] = {
        {"// rows\n#if !defined(QUOTED) || !defined(OPEN)\n#error \"alone\"\n#endif\n"
         "OPEN(GetTrMnuNew, /* joined */ \"\\101\\x42\\u05D0\"\n     \"\\r\\\"\\\\\", \"New\")\n", ""},
        {"#define OPEN(a, b, c)\n", "1: cannot be read: a preprocessor line hecat does not read"},
        {"OPEN(GetTrMnuOpen, \"\\x100\", \"Open\")\n", "1: cannot be read: a hexadecimal escape beyond a byte"},
        {"OPEN(GetTrMnuOpen, \"\\400\", \"Open\")\n", "1: cannot be read: an octal escape beyond a byte"},
        {"OPEN(GetTrMnuOpen, \"\\q\", \"Open\")\n", "1: cannot be read: an escape the compiler does not know: \\q"},
        {"\nOPEN(GetTrMnuOpen, \"open\n   \", \"Open\")\n", "2: cannot be read: a text whose closing double quote"},
        {"OPEN(GetTrMnuOpen, \"open\")\n", "1: cannot be read: expected , after the text"},
        {"OPEN(GetTrMnuOpen, \"open\", \"Open\", \"more\")\n", "1: cannot be read: expected ) after the English"},
        {"OPEN(GetTrMnuOpen, u8\"open\", \"Open\")\n", "1: cannot be read: expected a text between double quotes"},
        {"ROW(GetTrMnuOpen, \"open\", \"Open\")\n", "1: cannot be read: not a row"},
        {"OPEN(GetTrMnuOpen, \"open\", \"Open\")\n/* never closed\n", "2: cannot be read: a comment that is never closed"},
    };
    const std::filesystem::path top = std::filesystem::temp_directory_path() / ("hecat_reader_" + std::to_string(::getpid()));
    std::filesystem::create_directories(top / "src/catalogue");
    std::filesystem::create_directories(top / "exports");
    std::ofstream(top / "src/catalogue/tables.inc") << "#define FAMILY \"menus\"\n#include \"catalogue/menus.inc\"\n";
    std::ofstream(top / "exports/catalogue.txt") << "GetTrMnuNew\n";
    for (const auto& c : cases) {
        std::ofstream(top / "src/catalogue/menus.inc") << c.table << "OPEN(GetTrMnuNew2, \"new\", \"New\")\n";
        const auto read = he::tool::read_catalogue(top.string());
        ASSERT_FALSE(read.rows.empty()) << c.table;
        EXPECT_EQ(read.rows.back().name, "GetTrMnuNew2") << c.table << ": the row after it is read";
        std::string found;
        for (const auto& f : read.unread) found += f.where + ": " + f.message + "\n";
        if (c.finding.empty()) {
            EXPECT_EQ(found, "") << c.table;
            ASSERT_EQ(read.rows.size(), 2u);
            EXPECT_EQ(read.rows[0].utf8, "AB\xD7\x90\r\"\\");
            EXPECT_EQ(read.rows[0].text, "AB\xE0\r\"\\");
            EXPECT_EQ(read.rows[0].line, 5u);
            EXPECT_EQ(read.rows[0].file, "src/catalogue/menus.inc");
        } else {
            EXPECT_NE(found.find("src/catalogue/menus.inc:" + std::string(c.finding)), std::string::npos)
                << c.table << "gives\n" << found;
        }
    }
    std::filesystem::remove_all(top);
}

// A table as the preprocessor reads it, printed again as rows: QUOTED and OPEN
// defined as themselves, so that g++ -E gives each row's arguments once it
// has passed over comments and directives, joined lines and, with
// -trigraphs, read the trigraphs as a compiler in an ISO mode does. Nothing
// where it refuses the table.
std::optional<std::string> preprocessed(const std::filesystem::path& table, bool trigraphs) {
    const std::string command = std::string("g++ -E -P -x c++ -std=c++20 ") + (trigraphs ? "-trigraphs " : "") +
                                "'-DQUOTED(N,T,E)=QUOTED(N,T,E)' '-DOPEN(N,T,E)=OPEN(N,T,E)' '" + table.string() + "' 2>/dev/null";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) return std::nullopt;
    std::string out;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
    return ::pclose(pipe) == 0 ? std::optional(out) : std::nullopt;
}

// Table snippets, each with what the reader says of it.
struct Snippet {
    std::string_view table, finding, list = "";  // finding: "file:line: what it says", empty where all is read
    std::string_view rewritten = "";  // where not empty, GetTrA's text as an import writes it into the table
};
const Snippet kHostileSnippets[] = {
    {"QUOTED(GetTrA, \"a\", \"A\") // why\rQUOTED(GetTrB, \"b\", \"B\")\n", "menus.inc:1: cannot be read: a CR not followed by LF"},
    {"QUOTED(GetTrA, \"a\", \"A\\rB\rC\")\n", "menus.inc:1: cannot be read: a CR not followed by LF"},
    {"QUOTED(GetTrA, \"a\", \"A\") // why \\\nQUOTED(GetTrB, \"b\", \"B\")\n", "menus.inc:1: cannot be read: a backslash at the end"},
    {"// why \\ \t\nQUOTED(GetTrA, \"a\", \"A\")\n", "menus.inc:1: cannot be read: a backslash at the end"},
    {"\nQUOTED(GetTrA, \"a\\\r\nb\", \"A\")\n", "menus.inc:2: cannot be read: a backslash at the end"},
    {"// why?\?/\nQUOTED(GetTrA, \"a\", \"A\")\n", "menus.inc:1: cannot be read: the trigraph ?\?/"},
    {"QUOTED(GetTrA, \"a?\?!\", \"A\")\n", "menus.inc:1: cannot be read: the trigraph ?\?!"},
    {"QUOTED(GetTrA, \"a?\\?!?\\?\", \"A??\")\n", ""},
    {"#if !defined(QUOTED) || !defined(OPEN)\n#error \"alone\"\n#endif /* the guard */ // its end\nQUOTED(GetTrA, \"a\", \"A\")\n", ""},
    {"#if !defined(QUOTED) || !defined(OPEN)\n#error \"alone\"\n/*\n#endif\n*/\n#endif\nOPEN(GetTrA, \"a\", \"A\")\n", ""},
    {"#if !defined(QUOTED) || !defined(OPEN)\n#error \"alone\"\n#else\nQUOTED(GetTrA, \"a\", \"A\")\n#endif\n", "menus.inc:3: cannot be read: inside the guard"},
    {"#if !defined(QUOTED) || !defined(OPEN)\n#error \"alone\" /*\n#endif\n*/\n#endif\nQUOTED(GetTrA, \"a\", \"A\")\n", "menus.inc:2: cannot be read: inside the guard"},
    {"#if !defined(QUOTED) || !defined(OPEN)\n#endif QUOTED(GetTrA, \"a\", \"A\")\n", "menus.inc:2: cannot be read: text after #endif"},
    {"#if !defined(QUOTED) || !defined(OPEN)\n#endif /* spans\n */ QUOTED(GetTrA, \"a\", \"A\")\n", "menus.inc:2: cannot be read: text after #endif"},
    {"#line 40\nQUOTED(GetTrA, \"a\", \"A\")\n", "menus.inc:1: cannot be read: a preprocessor line hecat does not read"},
    {"%:if 0\nQUOTED(GetTrA, \"a\", \"A\")\n%:endif\n", "menus.inc:1: cannot be read: not a row"},
    {"QUOTED(GetTrA, \"a\", \"A\") #if 0\n#endif\n", "menus.inc:1: cannot be read: a # after other text"},
    {"/* QUOTED(GetTrA, \"a\", \"A\") */ OPEN(GetTrB, \"b // /*\" /* \"c\" */, \"B\") // QUOTED(GetTrC, \"c\", \"C\")\n", ""},
    {"// why\r\nQUOTED(GetTrA, \"a\\r\"\r\n      \"b\", \"A\\rB\") // note\r\n", ""},
    {"FIXED(GetTrA, \"a\", \"A\")\n", "menus.inc:1: cannot be read: not a row"},  // no longer a row macro
    {"#if !defined(FIXED) || !defined(OPEN)\n#error \"alone\"\n#endif\nOPEN(GetTrA, \"a\", \"A\")\n",
     "menus.inc:1: cannot be read: a preprocessor line hecat does not read"},  // the guard as it was
    {"QUOTED(GetTrA, \"a\", \"A\\nB\")\n", "menus.inc:1: cannot be read: a line break in the English"},
    {"QUOTED(GetTrA, \"a\", \"A\\rB\")\n", "menus.inc:1: cannot be read: a line break in the English"},
    {"QUOTED(GetTrA, \"a\\rb\", \"A\\015B\")\n", "menus.inc:1: cannot be read: a line break in the English"},
    {"QUOTED(GetTrA, \"a\", \"A\")\n", "", "", "?\?=?\?/?\?\?!?\?"},
    {"QUOTED(GetTrA,\n      \"a\\r\"\n      \"b\", \"A\\rB\")\n", "", "", "a?\?\r?!?\?-"},
    {"QUOTED(GetTrA, \"a\", \"A\")\n", "tables.inc:1: a line hecat does not read", "#if 0\n#define FAMILY \"menus\"\n#include \"catalogue/menus.inc\"\n#endif\n"},
    {"QUOTED(GetTrA, \"a\", \"A\")\n", "tables.inc:2: a line hecat does not read", "#define FAMILY \"menus\"\n#include \"catalogue/menus.inc\" // x\n"},
    {"QUOTED(GetTrA, \"a\", \"A\")\n", "tables.inc:2: FAMILY \"menus\" where the #if around it reads another table",
     "#if defined(HE_ALL_TABLES) || defined(HE_TABLE_buttons)\n#define FAMILY \"menus\"\n#include \"catalogue/menus.inc\"\n#endif\n"},
    {"QUOTED(GetTrA, \"a\", \"A\")\n", "tables.inc:1: a CR not followed by LF", "#define FAMILY \"menus\"\r#include \"catalogue/menus.inc\"\n"},
    {"QUOTED(GetTrA, \"a\", \"A\")\n", "tables.inc:2: a backslash at the end", "#define FAMILY \"menus\"\n#include \\\n\"catalogue/menus.inc\"\n"},
};

// Each snippet the reader either refuses, with a finding at its line, or
// reads row for row as the preprocessor reads it, with trigraphs or without;
// a list of tables it cannot read line by line as it stands today is refused.
TEST(HecatTables, TheReaderReadsAsThePreprocessorOrRefuses) {
    const std::filesystem::path top = std::filesystem::temp_directory_path() / ("hecat_cpp_" + std::to_string(::getpid()));
    const std::filesystem::path table = top / "src/catalogue/menus.inc";
    std::filesystem::create_directories(top / "src/catalogue");
    std::filesystem::create_directories(top / "exports");
    std::ofstream(top / "exports/catalogue.txt") << "GetTrA\n";
    const auto rows = [](const he::tool::Catalogue& c) {
        std::vector<std::tuple<std::string_view, std::string_view, std::string_view, bool>> out;
        for (const auto& e : c.rows) out.emplace_back(e.name, e.utf8, e.gloss, e.quoted);
        return out;
    };
    for (const auto& c : kHostileSnippets) {
        const std::string_view list = c.list.empty() ? "#define FAMILY \"menus\"\n#include \"catalogue/menus.inc\"\n" : c.list;
        std::ofstream(top / "src/catalogue/tables.inc") << list;
        std::string written(c.table);
        if (!c.rewritten.empty()) {
            EXPECT_TRUE(he::tool::rewrite_row(written, "GetTrA", c.rewritten)) << c.table;
        }
        std::ofstream(table) << written;
        const auto read = he::tool::read_catalogue(top.string());
        std::string found;
        for (const auto& f : read.unread) found += f.where + ": " + f.message + "\n";
        if (c.finding.empty()) EXPECT_EQ(found, "") << c.table;
        else EXPECT_NE(found.find("src/catalogue/" + std::string(c.finding)), std::string::npos) << c.table << "gives\n" << found;
        if (!found.empty()) continue;  // refused: nothing read to compare
        for (const bool trigraphs : {false, true}) {
            const auto compiled = preprocessed(table, trigraphs);
            if (!compiled) {
                ADD_FAILURE() << c.table << ": the preprocessor refuses what hecat reads";
                break;
            }
            std::ofstream(table) << *compiled;
            const auto again = he::tool::read_catalogue(top.string());
            EXPECT_TRUE(again.unread.empty()) << c.table << " preprocessed is\n" << *compiled;
            EXPECT_EQ(rows(read), rows(again)) << c.table << (trigraphs ? " with" : " without") << " trigraphs:\n" << *compiled;
            EXPECT_FALSE(rows(read).empty()) << c.table;
            if (!c.rewritten.empty()) {
                EXPECT_EQ(read.rows.front().utf8, c.rewritten) << written;
            }
        }
    }
    std::filesystem::remove_all(top);
}

// A table as a commit of its history wrote it, its quoted rows named FIXED
// as up to release 1.3, is read row for row where hecat asks git for an
// earlier text.
TEST(HecatTables, AnEarlierCommitsTableIsReadWithItsQuotedRows) {
    const std::string earlier = "#if !defined(FIXED) || !defined(OPEN)\n#error \"alone\"\n#endif\n"
                                "FIXED(GetTrA, \"a\", \"A\")\nOPEN(GetTrB, \"b\", \"B\")\n";
    std::vector<he::tool::TableRow> rows;
    std::vector<he::tool::TableProblem> problems;
    he::tool::read_rows(earlier, he::tool::Written::in_history, rows, problems);
    EXPECT_TRUE(problems.empty());
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(std::tie(rows[0].name, rows[0].text, rows[0].quoted), std::make_tuple("GetTrA", "a", true));
    EXPECT_EQ(std::tie(rows[1].name, rows[1].text, rows[1].quoted), std::make_tuple("GetTrB", "b", false));
    EXPECT_EQ(he::tool::row_text(earlier, "GetTrA"), "a");
}

// A warning (an advised term) is a warning here as in the build and the
// import: only what they refuse fails.
TEST(HecatCheck, TheCatalogueHasNoFinding) {
    const auto findings = he::tool::check(he::identity_entries(), he::table_entries(), he::catalogue_order(), he::field_captions());
    for (const auto& f : findings)
        if (!f.advice) ADD_FAILURE() << f.name << ": " << f.message;
}

bool found(const std::vector<he::tool::Finding>& findings, std::string_view name, std::string_view fragment) {
    for (const auto& f : findings)
        if (f.name == name && f.message.find(fragment) != std::string::npos) return true;
    return false;
}

// A row as the tables would give it, from its Windows-1255 bytes.
Entry row(std::string_view name, std::string_view family, std::string_view text, bool written = false) {
    static std::list<std::string> utf8;
    Entry e{};
    e.name = name, e.family = family, e.text = text, e.utf8 = utf8.emplace_back(he::to_utf8(text)), e.quoted = !written;
    return e;
}

TEST(HecatCheck, ReportsEveryBrokenRowAtOnce) {
    // A small catalogue in which each row breaks one rule.
    const Entry identity[] = {row("GetCompatibility", "identity", "1.4")};
    const Entry rows[] = {
        row("GetTrMnuCustomFilter", "menus", "\xF4\xE9\xEC\xE8\xF8 \xEC\xF4\xE9 \xE1\xE7\xE9\xF8\xE4"),
        row("GetTrLblWidth", "labels", "\xF8\xE5\xE7\xE1", true),     // field caption without ": "
        row("GetTrFmtOpacity", "templates", "%d \xE0 : %d%%"),           // one specifier too many
        row("GetTrLblLeft", "labels", ".\xF9\xEE\xE0\xEC", true),     // reads ending in a mark
        row("GetTrMnuNew", "menus", "\xE7\xE3-\xF9", true),            // a hyphen in open wording
        row("GetTrMnuOpen", "menus", "\xF4\xFA\xE7\n", true),         // a line feed
        row("GetTrMnuCut", "menus", "\xE7\xFA\xE5\xEA", true),        // reads as Crop
        row("GetTrMnuCrop", "menus", "\xE7\xFA\xE5\xEA", true),
        row("GetTrDlgMain2", "messages", "\xE4\xE0\xED  ?"),           // two blanks
        row("GetTrMnuSave", "menus", "\xF9\xEE\xE5\xF8 50%", true),   // a % it is not filled
        row("GetTrMnuLost", "menus", "\xE0"),                            // not in the export list
    };
    const std::string_view order[] = {"GetTrMnuCustomFilter", "GetTrLblWidth", "GetTrFmtOpacity", "GetTrLblLeft",
                                      "GetTrMnuOpen", "GetTrMnuNew", "GetTrMnuCut", "GetTrMnuCrop", "GetTrDlgMain2",
                                      "GetTrMnuSave", "GetTrMnuGone"};
    const std::string_view fields[] = {"GetTrLblWidth"};
    const auto f = he::tool::check(identity, rows, order, fields);
    EXPECT_TRUE(found(f, "GetTrLblWidth", "field caption"));
    EXPECT_TRUE(found(f, "GetTrFmtOpacity", "specifiers \"%d %d %%\" where the editor passes \"%d %%\""));
    EXPECT_TRUE(found(f, "GetTrLblLeft", "ends in no mark"));
    EXPECT_TRUE(found(f, "GetTrMnuNew", "Hebrew letters and single blanks only"));
    EXPECT_TRUE(found(f, "GetTrMnuOpen", "before it in exports/catalogue.txt"));
    EXPECT_TRUE(found(f, "GetTrMnuOpen", "U+000A LINE FEED at character 4"));
    EXPECT_TRUE(found(f, "GetTrMnuCut", "entries with this text: GetTrMnuCut GetTrMnuCrop"));
    EXPECT_TRUE(found(f, "GetTrDlgMain2", "two blanks"));
    EXPECT_TRUE(found(f, "GetTrMnuSave", "fills no value"));
    EXPECT_TRUE(found(f, "GetTrMnuLost", "not in exports/catalogue.txt"));
    EXPECT_TRUE(found(f, "GetTrMnuGone", "has no row"));
    EXPECT_FALSE(found(f, "GetTrMnuCustomFilter", ""));
    EXPECT_FALSE(found(f, "GetCompatibility", ""));
}

// Every stored text has a reading for the translators' files, and that
// reading leads back to exactly the stored bytes.
TEST(HecatReading, EveryReadingLeadsBackToItsStoredText) {
    std::size_t differ = 0, positional = 0;
    for (const auto& e : he::table_entries()) {
        const bool is_template = he::is_template(e.name);
        const std::string stored = he::to_utf8(e.text);
        const std::string reading = he::tool::reading_of(stored, is_template);
        differ += reading != stored;
        positional += reading.find('$') != std::string::npos;
        const auto back = he::tool::stored_of(reading, is_template, stored);
        EXPECT_TRUE(back && *back == stored) << e.name << ": \"" << stored << "\" reads \"" << reading << "\"";
    }
    EXPECT_EQ(positional, 2u) << "the two print ranges read their bounds in the other order";
    EXPECT_GT(differ, 100u);
    EXPECT_EQ(he::tool::reading_of(": \xD7\xA8\xD7\x95\xD7\x97\xD7\x91", false), "\xD7\xA8\xD7\x95\xD7\x97\xD7\x91 :");
}

// GNU FriBidi lays out one line: the glyphs a reader sees, left to right,
// mirrored where a right-to-left run mirrors them.
std::u32string laid_out(const std::string& utf8, bool right_to_left) {
    std::vector<FriBidiChar> logical(utf8.size() + 1);
    const auto n = fribidi_charset_to_unicode(FRIBIDI_CHAR_SET_UTF8, utf8.data(), static_cast<FriBidiStrIndex>(utf8.size()),
                                              logical.data());
    std::vector<FriBidiChar> visual(static_cast<std::size_t>(n) + 1);
    FriBidiParType base = right_to_left ? FRIBIDI_PAR_RTL : FRIBIDI_PAR_LTR;
    fribidi_log2vis(logical.data(), n, &base, visual.data(), nullptr, nullptr, nullptr);
    return {visual.begin(), visual.begin() + n};
}

// A template's specifiers filled with values that tell the arguments apart:
// the k-th argument is 4k for %d, "photok.jpg" for %s, 3.1k for %.2f.
std::string filled(std::string_view text) {
    std::string out;
    int next = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        if (text.substr(i, 2) == "%%") {
            out += '%', ++i;
            continue;
        }
        std::size_t j = i + 1;
        int k = 0;
        while (j < text.size() && std::isdigit(static_cast<unsigned char>(text[j]))) k = k * 10 + (text[j++] - '0');
        if (k && j < text.size() && text[j] == '$') ++j;
        else j = i + 1, k = ++next;
        const std::string n = std::to_string(k);
        if (text.substr(j, 1) == "d") out += "4" + n, i = j;
        else if (text.substr(j, 1) == "s") out += "photo" + n + ".jpg", i = j;
        else if (text.substr(j, 3) == ".2f") out += "3.1" + n, i = j + 2;
        else if (text.substr(j, 1) == "f") out += "3.1" + n + "0000", i = j;
        else out += text[i];
    }
    return out;
}

// What a translator sees of a unit in a right-to-left editor is what the
// editor's left-to-right control shows of the stored text: the same glyphs
// in the same order, line by line, values filled in on both sides.
TEST(HecatReading, EveryReadingLooksLikeTheControl) {
    std::size_t checked = 0;
    for (const auto& e : he::table_entries()) {
        const bool is_template = he::is_template(e.name);
        const std::string stored = he::to_utf8(e.text);
        if (stored.find("\xD7") == std::string::npos) continue;  // no Hebrew letter
        const std::string reading = he::tool::reading_of(stored, is_template);
        const std::string control = is_template ? filled(stored) : stored;
        const std::string editor = is_template ? filled(reading) : reading;
        for (std::size_t a = 0, b = 0;;) {
            const auto ca = control.find('\r', a), cb = editor.find('\r', b);
            const std::string line_a = control.substr(a, ca - a), line_b = editor.substr(b, cb - b);
            EXPECT_EQ(laid_out(line_a, false), laid_out(line_b, true))
                << e.name << ": the control shows \"" << line_a << "\", the PO file \"" << line_b << "\"";
            if (ca == std::string::npos || cb == std::string::npos) {
                EXPECT_EQ(ca, cb) << e.name << ": the lines differ in number";
                break;
            }
            a = ca + 1, b = cb + 1;
        }
        ++checked;
    }
    EXPECT_EQ(checked, 695u);  // every catalogue text with a Hebrew letter
}

TEST(HecatModel, NamesAndOrdinalsAreTheBuiltDllsOwn) {
    const auto dll = he::test::read_pe(HE_DLL_X86);
    ASSERT_EQ(dll.error, "") << "build the windows-x86 preset first";
    const auto items = he::tool::items(checkout_tables());
    ASSERT_EQ(items.size(), dll.exports.size());
    for (const auto& item : items) {
        const unsigned ordinal = item.ordinal;
        ASSERT_TRUE(ordinal >= 1 && ordinal <= dll.exports.size()) << item.entry->name;
        EXPECT_EQ(dll.exports[ordinal - 1].name, item.entry->name) << "at ordinal " << ordinal;
    }
}

// The English of an entry leaves out only an explanation the text itself does
// not carry: the PO export's msgid and the pictures' names use it.
TEST(HecatModel, TheEnglishLeavesOutOnlyAnExplanation) {
    const std::tuple<std::string_view, std::string_view, std::string_view> cases[] = {
        {"GetTrMnuOpen", "Open", "opening"},
        {"GetTrLblSub", "Sub", "the PNG filter: subtraction"},
        {"GetTrLblRequiredMemory", "Memory required (Mb)", ""},  // the text carries "(Mb)"
        {"GetTrFmtInfoSel", "%d,%d ==> %d,%d (W=%d, H=%d, W/H=%s)", ""},
        {"GetTrDlgImage5", "Enter a new image name (the extension does not change)", ""},
        {"GetDlgPictureNone", "(empty)", ""},
    };
    for (const auto& [name, english, explanation] : cases) {
        const auto rows = he::table_entries();
        const auto e = std::find_if(rows.begin(), rows.end(), [&](const Entry& r) { return r.name == name; });
        ASSERT_NE(e, rows.end()) << name;
        EXPECT_EQ(he::tool::split_gloss(*e), std::make_pair(english, explanation)) << name;
    }
}

// Three ways, by the records a unit carries: one each export, or two where
// a merge tool joined a file's comments with its template's.
TEST(HecatImport, TheRecordsSayWhichSideChanged) {
    using he::tool::Changed;
    const struct {
        std::string_view text, now;
        std::vector<std::string_view> records;
        Changed changed;
    } cases[] = {
        {"a", "a", {"a"}, Changed::neither},
        {"a", "b", {"a"}, Changed::tables},
        {"b", "a", {"a"}, Changed::file},
        {"c", "b", {"a"}, Changed::both},
        {"c", "b", {}, Changed::unknown},
        {"c", "b", {"a", "b"}, Changed::both},  // a merge tool's record of today's text beside the export's: both changed
        {"c", "b", {"b", "b"}, Changed::file},
        {"a", "b", {"a", "b"}, Changed::tables},  // the file's text was exported: not the translator's
        {"b", "b", {"a", "b"}, Changed::neither},
        {"c", "b", {"a", "d"}, Changed::both},
    };
    for (const auto& c : cases) {
        std::vector<std::string> digests;
        for (const auto r : c.records) digests.push_back(he::tool::base_digest(r));
        EXPECT_EQ(he::tool::changed_since_export(std::string(c.text), std::string(c.now), digests), c.changed)
            << c.text << " now " << c.now << ", " << c.records.size() << " records";
    }
}

TEST(HecatLayout, ReadingOrderIsWhatAReaderTakesIn) {
    // ": width" shows its colon at the left end, which a reader meets last.
    EXPECT_EQ(he::tool::visual_order(": רוחב"), ": בחור");
    EXPECT_EQ(he::tool::reading_order(": רוחב"), "רוחב :");
    EXPECT_EQ(he::tool::reading_order("JPEG דחיסת"), "דחיסת JPEG");
    EXPECT_EQ(he::tool::reading_order("! הקובץ לא נמצא"), "הקובץ לא נמצא !");
    // The degree sign joins the number it precedes, which reads left to right.
    EXPECT_EQ(he::tool::reading_order("סובב °90 עם כיוון השעון"), "סובב °90 עם כיוון השעון");
    EXPECT_EQ(he::tool::reading_order("%d%% : \xD7\x90"), "\xD7\x90 : %d%%");
    EXPECT_EQ(he::tool::reading_order("(ריק)"), "(ריק)");
    EXPECT_EQ(he::tool::reading_order("אודות אימברוזיה (Imbrosia)"), "(Imbrosia) אודות אימברוזיה");
    EXPECT_EQ(he::tool::reading_order("RGB ==> BGR"), "RGB ==> BGR");
    EXPECT_EQ(he::tool::reading_order("טובן רלש (Tovan Relesh)"), "(Tovan Relesh) טובן רלש");
    EXPECT_EQ(he::tool::reading_order("מסייר : %d תמונות"), "תמונות %d : מסייר");
    EXPECT_EQ(he::tool::per_line("a\r: רוחב", he::tool::reading_order), "a\rרוחב :");
}

TEST(HecatModel, SamplesFillLikeTheEditor) {
    EXPECT_EQ(he::tool::fill_sample("\xE0 : %d%%"), "\xE0 : 42%");
    EXPECT_EQ(he::tool::fill_sample("%.2f dpi"), "3.14 dpi");
    EXPECT_EQ(he::tool::fill_sample("\"%s\" %f"), "\"photo.jpg\" 3.140000");
}

TEST(HecatSpreadsheet, ExportsCarryEveryEntryOnce) {
    const auto items = he::tool::items(checkout_tables());
    const std::string json = he::tool::json_export(items), csv = he::tool::csv_export(items);
    EXPECT_NE(json.find("{\"ordinal\": 1, \"name\": \"GetTrCharset\", \"family\": \"identity\", \"bytes\": 0, \"text\": \"\", \"english\": \"Character-set name (empty)\"}"), std::string::npos);
    EXPECT_NE(json.find("\"name\": \"GetTrMnuPrint\", \"family\": \"menus\", \"bytes\": 5, \"text\": \"הדפסה\", \"english\": \"Printing\""), std::string::npos);
    EXPECT_NE(json.find("\"text\": \"! \\\"%s\\\" אין אפשרות"), std::string::npos) << "quotes escaped";
    std::size_t rows = 0;
    for (std::size_t p = 0; (p = csv.find("\r\n", p)) != std::string::npos; p += 2) ++rows;
    EXPECT_EQ(rows, items.size() + 1) << "one record per entry and the header; lone CRs stay inside their fields";
    EXPECT_NE(csv.find(",GetTrDlgMain1,messages,18,\".התמונה \"\"%s\"\" שונתה\","), std::string::npos);
}

}  // namespace
