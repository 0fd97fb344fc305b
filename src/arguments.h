// What the editor passes when it fills a template: for each of the catalogue's
// printf-style templates, the specifiers it supplies arguments for, in order.
// A template whose specifiers differ from this list would make the editor read
// the wrong argument or crash; the tests and the maintainers' tool hold every
// text to it.
#pragma once

#include <string>
#include <string_view>

namespace he {

struct TemplateArguments {
    std::string_view name;
    std::string_view specifiers;  // in order, blank-separated; "%%" takes no argument
};

inline constexpr TemplateArguments kTemplateArguments[] = {
    {"GetTrFmtOpacity", "%d %%"},
    {"GetTrFmtIntensity", "%d %%"},
    {"GetTrFmtThreshold", "%d"},
    {"GetTrFmtTolerance", "%d"},
    {"GetTrFmtLevel", "%.2f"},
    {"GetTrFmtLevel2", "%d"},
    {"GetTrFmtGamma", "%.2f"},
    {"GetTrFmtBrightness", "%d %%"},
    {"GetTrFmtHue", "%d"},
    {"GetTrFmtSaturation", "%d %%"},
    {"GetTrFmtContrast", "%d %%"},
    {"GetTrFmtAmount", "%d"},
    {"GetTrFmtWidth", "%d"},
    {"GetTrFmtCellSize", "%d"},
    {"GetTrFmtRadius", "%d"},
    {"GetTrFmtPointLength", "%d"},
    {"GetTrFmtPiecesSize", "%d"},
    {"GetTrFmtPeriod", "%d"},
    {"GetTrFmtAmplitude", "%d"},
    {"GetTrFmtTopDistort", "%d %%"},
    {"GetTrFmtBottomDistort", "%d %%"},
    {"GetTrFmtLeftDistort", "%d %%"},
    {"GetTrFmtRightDistort", "%d %%"},
    {"GetTrFmtScale", "%d %%"},
    {"GetTrFmtCompress", "%d"},
    {"GetTrFmtFileSize", "%s"},
    {"GetTrFmtSkewLeftRight", "%d %%"},
    {"GetTrFmtSkewTopBootom", "%d %%"},
    {"GetTrFmtHistory", "%d"},
    {"GetTrFmtResolution", "%.2f"},
    {"GetTrFmtResolution2", "%.2f"},
    {"GetTrFmtInfoSel", "%d %d %d %d %d %d %s"},  // two corners, width, height, ratio
    {"GetTrFmtInfoSel2", "%d %d %d %d %d %d"},
    {"GetTrFmtUntitled", "%d"},
    {"GetTrFmtDuplicate", "%s"},
    {"GetTrFmtSequenceExample", "%s"},
    {"GetTrFmtExploreProperties", "%s %s %s %s %s %d"},  // name, folder, size, file size, date, images
    {"GetTrFmtImageProperties", "%s %s %s %d %s %s %s %s"},  // name, folder, size, colours, file size, date, memory, with undo
    {"GetTrStaFmtExploring", "%d"},
    {"GetTrDlgMain1", "%s"},
    {"GetTrDlgPrint1", "%f %f"},
    {"GetTrDlgPrint2", "%f %f"},
    {"GetTrDlgPrint3", "%f"},
    {"GetTrDlgPrint4", "%f"},
    {"GetTrDlgImage7", "%s %s"},
    {"GetTrDlgImage9", "%s %s"},
    {"GetTrDlgImage11", "%s %s"},
    {"GetOeMsgErrorOpening", "%s"},
    {"GetOeMsgErrorSaving", "%s"},
    {"GetDlgPictureFmt", "%d %d"},
};

// The printf specifier of the catalogue's kinds that starts at text[i], a
// '%': "%%", which takes no argument, or "%d", "%s", "%f", "%.2f", each plain
// or with the number of the argument it takes ("%2$s", as translators' files
// write arguments they reorder). The number has one or two digits and is not
// 0; `length` is 0 where no such specifier starts.
struct Specifier {
    std::size_t length = 0;
    std::string_view conversion;  // "%", "d", "s", "f" or ".2f"
    unsigned argument = 0;        // 0: the next argument in order
};

constexpr Specifier specifier_at(std::string_view text, std::size_t i) {
    std::size_t j = i + 1;
    if (text.substr(j).starts_with("%")) return {2, "%", 0};
    unsigned argument = 0;
    while (j < text.size() && j < i + 3 && text[j] >= '0' && text[j] <= '9')
        argument = argument * 10 + static_cast<unsigned>(text[j++] - '0');
    if (j > i + 1) {
        if (j >= text.size() || text[j] != '$' || argument == 0) return {};
        ++j;
    }
    for (const std::string_view conversion : {"d", "s", "f", ".2f"})
        if (text.substr(j).starts_with(conversion)) return {j + conversion.size() - i, conversion, argument};
    return {};
}

// The specifiers of a text, in order, blank-separated, each as written and
// handed to `emit`. A "%" that starts no specifier of the catalogue's kinds
// yields "%?".
template <class Emit>
constexpr void write_specifiers(std::string_view text, Emit&& emit) {
    bool first = true;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') continue;
        const Specifier s = specifier_at(text, i);
        if (!first) emit(" ");
        first = false;
        emit(s.length == 0 ? std::string_view("%?") : text.substr(i, s.length));
        if (s.length != 0) i += s.length - 1;
    }
}

// Whether the editor fills the entry's text as a template.
constexpr bool is_template(std::string_view name) {
    for (const auto& t : kTemplateArguments)
        if (t.name == name) return true;
    return false;
}

// The specifiers the editor passes for the entry, empty for other entries.
constexpr std::string_view arguments_of(std::string_view name) {
    for (const auto& t : kTemplateArguments)
        if (t.name == name) return t.specifiers;
    return {};
}

inline std::string specifiers_of(std::string_view text) {
    std::string out;
    write_specifiers(text, [&](std::string_view piece) { out += piece; });
    return out;
}

}  // namespace he
