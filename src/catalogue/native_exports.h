// Every export of the catalogue built for this machine, by name, for the
// tests and the tool that call them. Expanded from the same tables as the DLL.
#pragma once

#include <string_view>

#include "export.h"

#define FIXED(Name, Text, English) extern "C" char* HE_WINAPI Name(char* Buffer, int MaxLen);
#define OPEN(Name, Text, English) FIXED(Name, Text, English)
#include "identity.inc"
#include "catalogue/tables.inc"
#undef FIXED
#undef OPEN

namespace he {

struct NamedExport {
    std::string_view name;
    HeExport fn;
};

inline constexpr NamedExport kNativeExports[] = {
#define FIXED(Name, Text, English) {#Name, &Name},
#define OPEN(Name, Text, English) FIXED(Name, Text, English)
#include "identity.inc"
#include "catalogue/tables.inc"
#undef FIXED
#undef OPEN
};

}  // namespace he
