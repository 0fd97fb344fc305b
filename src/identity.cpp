// The seven identity exports.
#include "export.h"

#define FIXED(Name, Text) HE_EXPORT(Name, Text)
#define OPEN(Name, Text, Gloss) HE_EXPORT(Name, Text)
#include "identity.inc"
