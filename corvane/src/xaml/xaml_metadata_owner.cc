#include "xaml/xaml_metadata_owner.h"

namespace Corvane {

std::shared_ptr<XamlMetadataOwner::XamlTypeInfoProvider> XamlMetadataOwner::Provider() const {
  return std::atomic_load(&provider);
}

std::shared_ptr<XamlMetadataOwner::XamlTypeInfoProvider> XamlMetadataOwner::EnsureProvider() {
  if (!std::atomic_load(&provider)) {
    std::atomic_store(&provider, Platform::ref_new<XamlTypeInfoProvider>());
  }
  return std::atomic_load(&provider);
}

std::shared_ptr<XamlMetadataOwner::IXamlType> XamlMetadataOwner::GetXamlType(
    const Windows::UI::Xaml::Interop::TypeName& type) {
  return EnsureProvider()->FindTypeByTypeName(type);
}

std::shared_ptr<XamlMetadataOwner::IXamlType> XamlMetadataOwner::GetXamlType(
    const Platform::String& fullName) {
  return EnsureProvider()->FindTypeByName(fullName);
}

std::vector<Windows::UI::Xaml::Markup::XmlnsDefinition> XamlMetadataOwner::GetXmlnsDefinitions() {
  return {};
}

}  // namespace Corvane
