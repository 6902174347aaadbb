#include "xaml/xaml_system_base_type.h"

#include <utility>

namespace XamlTypeInfo::InfoProvider {

using Platform::NotImplementedException;

XamlSystemBaseType::XamlSystemBaseType(Platform::String fullName) : fullName(std::move(fullName)) {}

Platform::String XamlSystemBaseType::GetRuntimeClassName() const {
  return u"XamlTypeInfo.InfoProvider.XamlSystemBaseType";
}

Windows::Foundation::TrustLevel XamlSystemBaseType::GetTrustLevel() const {
  return Windows::Foundation::TrustLevel::BaseTrust;
}

Platform::String XamlSystemBaseType::FullName() { return fullName; }

Windows::UI::Xaml::Interop::TypeName XamlSystemBaseType::UnderlyingType() {
  return {fullName, Windows::UI::Xaml::Interop::TypeKind::Primitive};
}

std::shared_ptr<XamlSystemBaseType::IXamlType> XamlSystemBaseType::BaseType() {
  throw NotImplementedException();
}
std::shared_ptr<XamlSystemBaseType::IXamlMember> XamlSystemBaseType::ContentProperty() {
  throw NotImplementedException();
}
bool XamlSystemBaseType::IsArray() { throw NotImplementedException(); }
bool XamlSystemBaseType::IsCollection() { throw NotImplementedException(); }
bool XamlSystemBaseType::IsConstructible() { throw NotImplementedException(); }
bool XamlSystemBaseType::IsDictionary() { throw NotImplementedException(); }
bool XamlSystemBaseType::IsMarkupExtension() { throw NotImplementedException(); }
bool XamlSystemBaseType::IsBindable() { throw NotImplementedException(); }
std::shared_ptr<XamlSystemBaseType::IXamlType> XamlSystemBaseType::ItemType() {
  throw NotImplementedException();
}
std::shared_ptr<XamlSystemBaseType::IXamlType> XamlSystemBaseType::KeyType() {
  throw NotImplementedException();
}
Platform::ObjectRef XamlSystemBaseType::ActivateInstance() { throw NotImplementedException(); }
Platform::ObjectRef XamlSystemBaseType::CreateFromString(const Platform::String&) {
  throw NotImplementedException();
}
std::shared_ptr<XamlSystemBaseType::IXamlMember> XamlSystemBaseType::GetMember(
    const Platform::String&) {
  throw NotImplementedException();
}
void XamlSystemBaseType::AddToVector(const Platform::ObjectRef&, const Platform::ObjectRef&) {
  throw NotImplementedException();
}
void XamlSystemBaseType::AddToMap(const Platform::ObjectRef&, const Platform::ObjectRef&,
                                  const Platform::ObjectRef&) {
  throw NotImplementedException();
}
void XamlSystemBaseType::RunInitializer() { throw NotImplementedException(); }

}  // namespace XamlTypeInfo::InfoProvider
