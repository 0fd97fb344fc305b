#include "rules.h"

#include <algorithm>
#include <map>
#include <set>

#include "catalogue/arguments.h"

namespace he::tool {
namespace {

bool hebrew(char c) { return static_cast<unsigned char>(c) >= 0xE0 && static_cast<unsigned char>(c) <= 0xFA; }

bool carried(char ch) {
    const auto c = static_cast<unsigned char>(ch);
    return c == '\r' || (c >= 0x20 && c <= 0x7E) || c == 0xB0 || (c >= 0xE0 && c <= 0xFA);
}

// Entries that share one text on purpose. Any other repeat shows two
// different things under one name.
const std::vector<std::set<std::string_view>> kSharedTexts = {
    {"GetTrMnuUndo", "GetTrMnuPurge"}, {"GetTrMnuRedo", "GetTrMnuRepeat"},
    {"GetTrMnuImagePlugin", "GetTrMnuToolsPlugin"}, {"GetTrMnuTiles", "GetTrMnuWallpaperTile"},
    {"GetTrMnuPrint", "GetTrBtnPrint"}, {"GetTrMnuExport", "GetTrBtnExport"},
    {"GetTrMnuPurgeHistory", "GetTrLblHistory"}, {"GetTrMnuPurgePattern", "GetTrLblPattern"},
    {"GetTrMnuSelInvert", "GetTrLblSymmetry"}, {"GetTrMnuImage", "GetTrLblPicture"},
    {"GetTrMnuAdjust", "GetTrLblAdjust"},
    {"GetTrMnuAntialias", "GetTrLblAntialias", "GetTrLblAntialiased", "GetTrLblAntialiasing"},
    {"GetTrMnuVisualEffect", "GetTrLblEffect"}, {"GetTrMnuColor", "GetTrLblModeColor"},
    {"GetTrMnuBlue", "GetTrLblChannelBlue"}, {"GetTrMnuGreen", "GetTrLblChannelGreen"},
    {"GetTrMnuClRed", "GetTrLblChannelRed"}, {"GetTrMnuYellow", "GetTrLblChannelYellow"},
    {"GetTrMnuOriginalSize", "GetTrPrnOriginalSize"}, {"GetTrMnuInformations", "GetDlgInformation"},
    {"GetTrLblInches", "GetTrLblInch"}, {"GetTrLblTop", "GetTrLblUp"},
    {"GetTrLblTransparent", "GetTrLblModeTransparent"}, {"GetTrLblAuto", "GetTrLblAutoFilter"},
    {"GetTrLblChannelAlls", "GetTrPlgAlls"}, {"GetTrLblStroke", "GetTrHntPaintbrushTool"},
    {"GetTrLblSelFileName", "GetTrHntSelTool"}, {"GetTrLblSettings", "GetTrBtnSetup"},
    {"GetTrLblSaving", "GetTrStaSaving"}, {"GetTrBtnOk", "GetDlgOk"}, {"GetTrBtnCancel", "GetDlgCancel"},
    {"GetTrBtnPreview", "GetDlgPicturePreview"}, {"GetTrCharset", "GetTrFmtFileDate"}};

// Texts that carry a character the general rules reserve for others.
constexpr std::string_view kTrailingBlank = "GetTrMnuSimpleFrame";  // its caption ends in a blank
constexpr std::string_view kAccessKeys[] = {"GetDlgYes", "GetDlgNo"};
constexpr std::string_view kModifiers[] = {"GetMnuShift", "GetMnuCtrl", "GetMnuAlt"};

struct Checker {
    std::vector<Finding> findings;
    void operator()(std::string_view name, bool ok, std::string message) {
        if (!ok) findings.push_back({std::string(name), std::move(message)});
    }
};

template <std::size_t N>
bool among(std::string_view name, const std::string_view (&list)[N]) {
    return std::find(std::begin(list), std::end(list), name) != std::end(list);
}

void check_text(Checker& fail, const Entry& e, bool field_caption) {
    const std::string_view t = e.text, n = e.name;
    fail(n, t.size() <= 129, "longer than 129 bytes");
    fail(n, std::all_of(t.begin(), t.end(), carried), "holds a byte outside Hebrew letters, ASCII, the degree sign and CR");
    fail(n, t.find('\n') == std::string_view::npos, "holds a line feed; line breaks are a single CR");
    fail(n, t.empty() || (t.front() != '\r' && t.back() != '\r'), "begins or ends with a line break");
    fail(n, t.empty() || t.front() != ' ', "begins with a blank");
    fail(n, t.empty() || t.back() != ' ' || n == kTrailingBlank, "ends with a blank");
    fail(n, t.find("  ") == std::string_view::npos, "holds two blanks in a row");
    fail(n, t.find('|') == std::string_view::npos, "holds a | separator");
    fail(n, t.find('&') == std::string_view::npos || among(n, kAccessKeys), "holds an access-key &, which only the Yes and No buttons carry");
    fail(n, t.find('+') == std::string_view::npos || among(n, kModifiers), "holds a +, which only the modifier key names carry");
    fail(n, !t.ends_with("...") && !t.ends_with("\x85"), "ends in an ellipsis");
    fail(n, t.find('\r') == std::string_view::npos || e.family == "templates" || e.family == "messages",
         "has a line break, which only templates and messages may have");

    if (e.family == "menus") {
        fail(n, !t.empty() && t.size() <= 26, "a menu caption must be 1 to 26 bytes");
        if (e.open)
            fail(n, std::all_of(t.begin(), t.end(), [](char c) { return c == ' ' || hebrew(c); }),
                 "open menu wording must be Hebrew letters and blanks only");
    }
    if (e.family == "labels") {
        fail(n, !t.empty() && t.size() <= 33, "a label must be 1 to 33 bytes");
        fail(n, t.find('\xB0') == std::string_view::npos, "a label holds no degree sign");
        if (field_caption) {
            fail(n, t.starts_with(": ") && t.find(':', 1) == std::string_view::npos,
                 "a field caption is \": \" and the caption, with no other colon");
        } else {
            fail(n, !t.starts_with(":"), "only field captions begin with a colon");
            const bool batch_result = n == "GetTrLblBatchInterrupted" || n == "GetTrLblbatchSuccess";
            fail(n, t.empty() || std::string_view(":.?!").find(t.back()) == std::string_view::npos || (batch_result && t.ends_with(" !")),
                 "a label ends in no mark");
        }
        if (e.open) {
            fail(n, std::any_of(t.begin(), t.end(), hebrew), "open label wording needs a Hebrew letter");
            fail(n, t.find('%') == std::string_view::npos, "open label wording holds no %");
        }
    }
}

}  // namespace

std::vector<Finding> check(std::span<const Entry> identity, std::span<const Entry> tables,
                           std::span<const std::string_view> order) {
    Checker fail;

    // The export list and the tables name the same entries, each table in catalogue order.
    std::map<std::string_view, std::size_t> position;
    for (std::size_t i = 0; i < order.size(); ++i) {
        fail(order[i], position.emplace(order[i], i).second, "listed twice in the export list");
    }
    std::map<std::string_view, int> rows;
    std::map<std::string_view, std::size_t> last_of_family;
    for (const auto& e : tables) {
        if (rows[e.name]++ > 0) fail(e.name, false, "has more than one row");
        const auto it = position.find(e.name);
        if (it == position.end()) {
            fail(e.name, false, "has a row but is not in the export list");
            continue;
        }
        auto [last, first] = last_of_family.try_emplace(e.family, it->second);
        if (!first) fail(e.name, it->second > last->second, "stands out of catalogue order in its table");
        last->second = it->second;
    }
    for (auto name : order) fail(name, rows.count(name) > 0, "is in the export list but has no row");

    // The field captions stand between the menu block and the first template.
    std::set<std::string_view> fields;
    const auto from = position.find("GetTrMnuCustomFilter"), to = position.find("GetTrFmtOpacity");
    if (from != position.end() && to != position.end())
        for (std::size_t i = from->second + 1; i < to->second; ++i) fields.insert(order[i]);

    std::map<std::string_view, std::string_view> templates;
    for (const auto& t : kTemplateArguments) templates[t.name] = t.specifiers;
    std::map<std::string_view, std::set<std::string_view>> by_text;
    for (const auto* list : {&identity, &tables}) {
        for (const auto& e : *list) {
            check_text(fail, e, fields.count(e.name) > 0);
            by_text[e.text].insert(e.name);
            const auto tmpl = templates.find(e.name);
            if (tmpl != templates.end()) {
                const std::string found = specifiers_of(e.text);
                fail(e.name, found == tmpl->second,
                     "specifiers \"" + found + "\" where the editor passes \"" + std::string(tmpl->second) + "\"");
            } else if (e.name == "GetTrLblPct") {
                fail(e.name, e.text == "%", "the percent unit is a lone % shown unformatted");
            } else {
                fail(e.name, e.text.find('%') == std::string_view::npos, "holds a % but the editor does not fill it");
            }
        }
    }
    for (const auto& [text, names] : by_text) {
        if (names.size() < 2) continue;
        const bool shared = std::any_of(kSharedTexts.begin(), kSharedTexts.end(), [&](const auto& group) {
            return std::includes(group.begin(), group.end(), names.begin(), names.end());
        });
        std::string others;
        for (auto other : names) {
            if (other == *names.begin()) continue;
            others += ' ';
            others += other;
        }
        fail(*names.begin(), shared, "reads the same as" + others);
    }
    for (const auto& group : kSharedTexts) {
        std::set<std::string_view> texts;
        for (const auto* list : {&identity, &tables})
            for (const auto& e : *list) if (group.count(e.name)) texts.insert(e.text);
        fail(*group.begin(), texts.size() <= 1, "must read the same as the other entries of its group");
    }
    return fail.findings;
}

}  // namespace he::tool
