#include "xaml/xaml_type_table.h"

namespace XamlTypeInfo::InfoProvider {
namespace {

constexpr std::size_t NameLength(std::uint32_t row) {
  return std::u16string_view(TypeTable[row].typeName).size();
}

// The length index and the row order are written out by hand; check them
// against the names when compiling.
constexpr bool IndexMatchesNames() {
  for (std::uint32_t n = 0; n <= TypeNameLengthLimit; ++n) {
    std::uint32_t first = TypeTableRowCount;
    for (std::uint32_t row = TypeTableRowCount; row-- > 0;) {
      if (NameLength(row) >= n) first = row;
    }
    if (TypeLengthIndex[n] != first) return false;
  }
  for (std::uint32_t row = 1; row < TypeTableRowCount; ++row) {
    if (NameLength(row - 1) > NameLength(row)) return false;
  }
  return NameLength(TypeTableRowCount - 1) + 1 == TypeNameLengthLimit;
}
static_assert(IndexMatchesNames(), "TypeLengthIndex does not match the row names");

}  // namespace

const TypeTableEntry* LookUpTypeEntry(std::u16string_view name) {
  return LookUpTypeEntryWith(name,
                             [](std::u16string_view a, std::u16string_view b) { return a == b; });
}

}  // namespace XamlTypeInfo::InfoProvider
