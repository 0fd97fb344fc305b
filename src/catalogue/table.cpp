#include "table.h"

#include "cp1255.h"

namespace he {
namespace {

#define FIXED(Name, Text) {#Name, FAMILY, cp1255::text<Text>(), Text, "", false},
#define OPEN(Name, Text, Gloss) {#Name, FAMILY, cp1255::text<Text>(), Text, Gloss, true},

constexpr Entry kIdentity[] = {
#define FAMILY "identity"
#include "identity.inc"
#undef FAMILY
};

constexpr Entry kCatalogue[] = {
#include "tables.inc"
};

}  // namespace

std::span<const Entry> identity_entries() { return kIdentity; }
std::span<const Entry> table_entries() { return kCatalogue; }

}  // namespace he
