// The build's check of what only the whole catalogue shows: texts that must
// or must not read the same, the export list against the tables, the
// entries the wording names. Each table's exports check their own rows.
#include "table_rows.h"
#include "catalogue_order.h"
#include "rules.h"

#if !defined(HE_NO_RULES)
static_assert(he::rules::passes<he::rules::catalogue_verdict(he::kIdentityRows, he::kCatalogueRows,
                                                             he::kCatalogueOrder)>());
#endif
