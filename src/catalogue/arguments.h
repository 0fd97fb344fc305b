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

// The specifiers of a text, in order, blank-separated, each handed to `emit`.
// A "%" that starts no specifier of the catalogue's kinds yields "%?".
template <class Emit>
constexpr void write_specifiers(std::string_view text, Emit&& emit) {
    bool first = true;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') continue;
        const std::string_view rest = text.substr(i + 1);
        std::string_view specifier = "%?";
        if (rest.starts_with("%")) specifier = "%%";
        else if (rest.starts_with("d")) specifier = "%d";
        else if (rest.starts_with("s")) specifier = "%s";
        else if (rest.starts_with("f")) specifier = "%f";
        else if (rest.starts_with(".2f")) specifier = "%.2f";
        if (!first) emit(" ");
        first = false;
        emit(specifier);
        if (specifier != "%?") i += specifier.size() - 1;
    }
}

inline std::string specifiers_of(std::string_view text) {
    std::string out;
    write_specifiers(text, [&](std::string_view piece) { out += piece; });
    return out;
}

}  // namespace he
