// The seven identity exports.
#include "export.h"

#define FAMILY "identity"
#define FIXED(Name, Text, English) HE_EXPORT(Name, FAMILY, false, Text, English)
#define OPEN(Name, Text, English) HE_EXPORT(Name, FAMILY, true, Text, English)
#include "identity.inc"
