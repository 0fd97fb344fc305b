#include "table.h"

#include "table_rows.h"
#include "catalogue_order.h"

namespace he {

std::span<const Entry> identity_entries() { return kIdentityRows; }
std::span<const Entry> table_entries() { return kCatalogueRows; }
std::span<const std::string_view> catalogue_order() { return kCatalogueOrder; }
std::span<const std::string_view> field_captions() { return kFieldCaptions; }
std::span<const std::string_view> exports_by_ordinal() { return kExportsByOrdinal; }

}  // namespace he
