// XAML type lookup by name on arbitrary UTF-16 names: only the three table
// names give a record, and then the record carries exactly that name.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "page/main_page_activation.h"
#include "xaml/xaml_type_info_provider.h"
#include "xaml/xaml_type_table.h"

// The lookup never activates a type, so the page itself is not linked in.
Platform::ObjectRef Corvane::ActivateMainPage() { std::abort(); }

namespace {

using XamlTypeInfo::InfoProvider::TypeTable;
using XamlTypeInfo::InfoProvider::XamlTypeInfoProvider;

bool IsTableName(const std::u16string& name) {
  for (const auto& row : TypeTable) {
    if (name == row.typeName) return true;
  }
  return false;
}

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // One provider for the whole run, so its cache sees every input.
  static auto provider = Platform::ref_new<XamlTypeInfoProvider>();

  std::u16string name;
  for (std::size_t i = 0; i + 1 < size; i += 2) {
    name.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
  }
  const bool known = IsTableName(name);

  const auto* row = XamlTypeInfo::InfoProvider::LookUpTypeEntry(name);
  Check((row != nullptr) == known);
  if (row) Check(name == row->typeName);

  auto type = provider->FindTypeByName(name);
  Check((type != nullptr) == known);
  if (type) Check(type->FullName() == name);

  auto byTypeName = provider->FindTypeByTypeName(
      {name, static_cast<Windows::UI::Xaml::Interop::TypeKind>(size % 3)});
  Check(byTypeName == type);
  return 0;
}
