// The seven identity exports.
#include "export.h"

#define FAMILY "identity"
#define FIXED(Name, Text, English) HE_EXPORT(Name, FAMILY, false, Text)
#define OPEN(Name, Text, English) HE_EXPORT(Name, FAMILY, true, Text)
#include "identity.inc"
