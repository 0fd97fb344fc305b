// Every export of the catalogue built for this machine, by name, for the
// tests and the tool that call them. Expanded from the same tables as the DLL.
#pragma once

#include <string_view>

#include "export.h"

#define HE_ROW(Name, Family, Quoted, Text, English) extern "C" char* HE_WINAPI Name(char* Buffer, int MaxLen);
#define HE_TABLE_identity
#define HE_ALL_TABLES
#include "catalogue/tables.inc"

namespace he {

struct NamedExport {
    std::string_view name;
    HeExport fn;
};

inline constexpr NamedExport kNativeExports[] = {
#define HE_ROW(Name, Family, Quoted, Text, English) {#Name, &Name},
#define HE_TABLE_identity
#define HE_ALL_TABLES
#include "catalogue/tables.inc"
};

}  // namespace he
