// Every row of the tables as data, with where it is written: for the build's
// check of the whole catalogue, and for the tests and the maintainers' tool.
// The DLL compiles these arrays to check them and does not carry them.
#pragma once

#include <string_view>

#include "catalogue/table.h"
#include "cp1255.h"

namespace he {

#define HE_ROW(Name, Text, English, Open) \
    {#Name, FAMILY, he::cp1255::text<Text>(), he::cp1255::literal(Text), English, Open, he::source_file(__FILE__), __LINE__},
#define FIXED(Name, Text, English) HE_ROW(Name, Text, English, false)
#define OPEN(Name, Text, English) HE_ROW(Name, Text, English, true)

inline constexpr Entry kIdentityRows[] = {
#define FAMILY "identity"
#include "identity.inc"
#undef FAMILY
};

// Table by table, each table in catalogue order.
inline constexpr Entry kCatalogueRows[] = {
#include "catalogue/tables.inc"
};

#undef FIXED
#undef OPEN
#undef HE_ROW

}  // namespace he
