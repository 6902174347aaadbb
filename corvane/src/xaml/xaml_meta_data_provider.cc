#include "xaml/xaml_meta_data_provider.h"

namespace Corvane::Corvane_XamlTypeInfo {

Platform::String XamlMetaDataProvider::GetRuntimeClassName() const {
  return u"Corvane.Corvane_XamlTypeInfo.XamlMetaDataProvider";
}

Windows::Foundation::TrustLevel XamlMetaDataProvider::GetTrustLevel() const {
  return Windows::Foundation::TrustLevel::BaseTrust;
}

std::shared_ptr<XamlMetaDataProvider::IXamlType> XamlMetaDataProvider::GetXamlType(
    const Windows::UI::Xaml::Interop::TypeName& type) {
  return metadata.GetXamlType(type);
}

std::shared_ptr<XamlMetaDataProvider::IXamlType> XamlMetaDataProvider::GetXamlType(
    const Platform::String& fullName) {
  return metadata.GetXamlType(fullName);
}

std::vector<Windows::UI::Xaml::Markup::XmlnsDefinition>
XamlMetaDataProvider::GetXmlnsDefinitions() {
  return metadata.GetXmlnsDefinitions();
}

Platform::ObjectRef ActivateXamlMetaDataProvider() {
  return Platform::ref_new<XamlMetaDataProvider>();
}

}  // namespace Corvane::Corvane_XamlTypeInfo
