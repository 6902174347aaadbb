// The constant table of the XAML types the host answers for, ordered by
// increasing length of the type name, and the lookup of a name in it.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "page/main_page_activation.h"
#include "platform/xaml_metadata.h"

namespace XamlTypeInfo::InfoProvider {

using ActivatorFunction = Platform::ObjectRef (*)();
using AddToVectorFunction = void (*)(const Platform::ObjectRef& instance,
                                     const Platform::ObjectRef& item);
using AddToMapFunction = void (*)(const Platform::ObjectRef& instance,
                                  const Platform::ObjectRef& key, const Platform::ObjectRef& item);
using CreateFromStringFunction =
    Platform::ObjectRef (*)(const std::shared_ptr<Windows::UI::Xaml::Markup::IXamlType>& type,
                            const Platform::String& text);

enum TypeFlags : std::uint32_t {
  TypeFlagLocal = 0x01,        // defined by this program; a placeholder row stays ours
  TypeFlagSystem = 0x02,       // a framework type: build a XamlSystemBaseType
  TypeFlagPlaceholder = 0x04,  // extra providers may supply the type instead
  TypeFlagBindable = 0x08,
  TypeFlagMarkupExtension = 0x10,
};

struct TypeTableEntry {
  const char16_t* typeName;
  const char16_t* contentPropertyName;
  ActivatorFunction activator;
  AddToVectorFunction collectionAdd;
  AddToMapFunction dictionaryAdd;
  CreateFromStringFunction fromStringConverter;
  std::int32_t baseTypeIndex;  // -1: none
  Windows::UI::Xaml::Interop::TypeKind kind;
  std::uint32_t flags;
  std::int32_t boxedTypeIndex;  // -1: none
};

inline constexpr std::uint32_t TypeTableRowCount = 3;
// One more than the longest name: names this long or longer match no row.
inline constexpr std::uint32_t TypeNameLengthLimit = 37;

inline constexpr TypeTableEntry TypeTable[TypeTableRowCount] = {
    {u"Corvane.MainPage", u"", &Corvane::ActivateMainPage, nullptr, nullptr, nullptr, 1,
     Windows::UI::Xaml::Interop::TypeKind::Custom, TypeFlagLocal, -1},
    {u"Windows.UI.Xaml.Controls.Page", u"", nullptr, nullptr, nullptr, nullptr, -1,
     Windows::UI::Xaml::Interop::TypeKind::Metadata, TypeFlagSystem, -1},
    {u"Windows.UI.Xaml.Controls.UserControl", u"", nullptr, nullptr, nullptr, nullptr, -1,
     Windows::UI::Xaml::Interop::TypeKind::Metadata, TypeFlagSystem, -1},
};

// Element n: the first row whose name has n or more code units (the row
// count where none has), so rows [index[n], index[n + 1]) have names of
// exactly n code units.
inline constexpr std::uint32_t TypeLengthIndex[TypeNameLengthLimit + 1] = {
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  //  0 -  9
    0, 0, 0, 0, 0, 0, 0, 1, 1, 1,  // 10 - 19
    1, 1, 1, 1, 1, 1, 1, 1, 1, 1,  // 20 - 29
    2, 2, 2, 2, 2, 2, 2, 3,        // 30 - 37
};

// The row named exactly `name` (ordinal comparison), or null. A null view
// reads as the empty name.
const TypeTableEntry* LookUpTypeEntry(std::u16string_view name);

// The lookup with the row comparison supplied by the caller
// (`equal(name, rowName)`); LookUpTypeEntry uses ordinal equality.
template <class Equal>
const TypeTableEntry* LookUpTypeEntryWith(std::u16string_view name, Equal&& equal) {
  if (name.size() >= TypeNameLengthLimit) return nullptr;
  const auto length = name.size();
  for (auto row = TypeLengthIndex[length]; row < TypeLengthIndex[length + 1]; ++row) {
    if (equal(name, std::u16string_view(TypeTable[row].typeName))) return &TypeTable[row];
  }
  return nullptr;
}

}  // namespace XamlTypeInfo::InfoProvider
