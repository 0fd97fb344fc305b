// Every export of the natively built catalogue, by name, for tests that call
// them all. Expanded from the same tables as the DLL.
#pragma once

#include <string_view>

#include "export.h"

#define FIXED(Name, Text) extern "C" char* HE_WINAPI Name(char* Buffer, int MaxLen);
#define OPEN(Name, Text, Gloss) FIXED(Name, Text)
#include "identity.inc"
#include "catalogue/tables.inc"
#undef FIXED
#undef OPEN

namespace he::test {

struct NamedExport {
    std::string_view name;
    HeExport fn;
};

inline constexpr NamedExport kNativeExports[] = {
#define FIXED(Name, Text) {#Name, &Name},
#define OPEN(Name, Text, Gloss) FIXED(Name, Text)
#include "identity.inc"
#include "catalogue/tables.inc"
#undef FIXED
#undef OPEN
};

}  // namespace he::test
