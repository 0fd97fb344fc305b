// One exported function per catalogue entry, expanded from the family tables,
// and the build's check of what only the whole catalogue shows: texts that
// must or must not read the same, and the export list against the tables.
#include "catalogue/rows.h"
#include "export.h"

#define FIXED(Name, Text, English) HE_EXPORT(Name, FAMILY, false, Text, English)
#define OPEN(Name, Text, English) HE_EXPORT(Name, FAMILY, true, Text, English)
#include "tables.inc"
#undef FIXED
#undef OPEN

static_assert(he::rules::passes<he::rules::catalogue_verdict(he::kIdentityRows, he::kCatalogueRows,
                                                             he::kCatalogueOrder)>());
