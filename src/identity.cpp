// The seven identity exports.
#include "export.h"

#define HE_ROW(Name, Family, Quoted, Text, English) HE_EXPORT(Name, Family, Quoted, Text, English)
#define HE_TABLE_identity
#include "catalogue/tables.inc"
