#include "xaml/xaml_user_type.h"

#include <utility>

#include "xaml/xaml_type_info_provider.h"

namespace XamlTypeInfo::InfoProvider {

using Platform::NotImplementedException;

XamlUserType::XamlUserType(std::shared_ptr<XamlTypeInfoProvider> provider,
                           Platform::String fullName, std::shared_ptr<IXamlType> baseType)
    : provider(std::move(provider)), baseType(std::move(baseType)), fullName(std::move(fullName)) {}

void XamlUserType::CopyRow(const TypeTableEntry& row) {
  kind = row.kind;
  activator = row.activator;
  collectionAdd = row.collectionAdd;
  dictionaryAdd = row.dictionaryAdd;
  fromStringConverter = row.fromStringConverter;
  contentPropertyName = row.contentPropertyName;
  isLocal = (row.flags & TypeFlagLocal) != 0;
  isPlaceholder = (row.flags & TypeFlagPlaceholder) != 0;
  isBindable = (row.flags & TypeFlagBindable) != 0;
  isMarkupExtension = (row.flags & TypeFlagMarkupExtension) != 0;
}

Platform::String XamlUserType::GetRuntimeClassName() const {
  return u"Windows.UI.Xaml.Markup.IXamlType2";
}

Windows::Foundation::TrustLevel XamlUserType::GetTrustLevel() const {
  return Windows::Foundation::TrustLevel::BaseTrust;
}

std::shared_ptr<XamlUserType::IXamlMember> XamlUserType::ContentProperty() {
  return provider->FindMemberByFullName(contentPropertyName);
}

Platform::ObjectRef XamlUserType::ActivateInstance() {
  if (!activator) throw NotImplementedException(u"type is not constructible");
  return activator();
}

Platform::ObjectRef XamlUserType::CreateFromString(const Platform::String& value) {
  if (boxedType) return boxedType->CreateFromString(value);
  if (!fromStringConverter) throw NotImplementedException(u"type has no converter");
  return fromStringConverter(Platform::RefFrom<IXamlType>(this), value);
}

void XamlUserType::AddToVector(const Platform::ObjectRef& instance,
                               const Platform::ObjectRef& value) {
  if (!collectionAdd) throw NotImplementedException(u"type is no collection");
  collectionAdd(instance, value);
}

void XamlUserType::AddToMap(const Platform::ObjectRef& instance, const Platform::ObjectRef& key,
                            const Platform::ObjectRef& value) {
  if (!dictionaryAdd) throw NotImplementedException(u"type is no dictionary");
  dictionaryAdd(instance, key, value);
}

std::shared_ptr<XamlUserType::IXamlMember> XamlUserType::GetMember(const Platform::String& name) {
  auto member = memberNames.find(name);
  if (member == memberNames.end()) return nullptr;
  return provider->FindMemberByFullName(member->second);
}

}  // namespace XamlTypeInfo::InfoProvider
