// One exported function per catalogue entry, expanded from the family tables.
#include "export.h"

#define FIXED(Name, Text) HE_EXPORT(Name, Text)
#define OPEN(Name, Text, Gloss) HE_EXPORT(Name, Text)
#include "tables.inc"
