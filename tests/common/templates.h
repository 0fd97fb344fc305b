// The printf-style templates the editor fills, each with the specifiers it
// passes arguments for, in order. Written from the argument descriptions of
// the catalogue, not from the texts: a template whose specifiers differ from
// this list would make the editor read the wrong argument or crash.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace he::test {

struct Template {
    std::string_view name;
    std::string_view specifiers;  // in order, blank-separated; "%%" takes no argument
};

inline constexpr Template kTemplates[] = {
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

// The specifiers of a text, in order, blank-separated. A "%" that starts no
// specifier of the catalogue's kinds yields "%?".
std::string specifiers_of(std::string_view text);

// Fills `text` the way the editor does, with snprintf and sample arguments
// for the given specifiers (whole numbers 101, 102, ...; texts "s1", "s2",
// ...; 3.14159 for every decimal). False when the list has a shape no
// template of the catalogue has.
bool fill_with_snprintf(const std::string& text, std::string_view specifiers, std::string& out);

// What a correct fill gives: every specifier replaced by its sample value.
std::string expected_fill(std::string_view text);

}  // namespace he::test
