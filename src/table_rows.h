// Every row of the tables as data, with where it is written: for the build's
// check of the whole catalogue, and for the tests and the maintainers' tool.
// The DLL compiles these arrays to check them and does not carry them.
#pragma once

#include <string_view>

#include "table.h"
#include "cp1255.h"

namespace he {

#define HE_ENTRY(Name, Family, Quoted, Text, English) \
    {#Name, Family, he::cp1255::text<Text>(), he::cp1255::literal(Text), English, Quoted, he::source_file(__FILE__), __LINE__},

inline constexpr Entry kIdentityRows[] = {
#define HE_ROW HE_ENTRY
#define HE_TABLE_identity
#include "catalogue/tables.inc"
};

// Table by table, each table in catalogue order.
inline constexpr Entry kCatalogueRows[] = {
#define HE_ROW HE_ENTRY
#define HE_ALL_TABLES
#include "catalogue/tables.inc"
};

#undef HE_ENTRY

}  // namespace he
