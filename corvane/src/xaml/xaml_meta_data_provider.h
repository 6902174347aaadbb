// The activatable runtime class
// "Corvane.Corvane_XamlTypeInfo.XamlMetaDataProvider": the host's type
// information for whoever activates it. Only its activation factory makes
// one; it never shares a provider with the application object.
#pragma once

#include "module/module.h"
#include "platform/activation_factory.h"
#include "platform/xaml_metadata.h"
#include "xaml/xaml_metadata_owner.h"

namespace Corvane::Corvane_XamlTypeInfo {

class XamlMetaDataProvider : public virtual Windows::UI::Xaml::Markup::IXamlMetadataProvider {
 public:
  using IXamlType = Windows::UI::Xaml::Markup::IXamlType;

  Platform::String GetRuntimeClassName() const override;
  Windows::Foundation::TrustLevel GetTrustLevel() const;

  std::shared_ptr<IXamlType> GetXamlType(const Windows::UI::Xaml::Interop::TypeName& type) override;
  std::shared_ptr<IXamlType> GetXamlType(const Platform::String& fullName) override;
  std::vector<Windows::UI::Xaml::Markup::XmlnsDefinition> GetXmlnsDefinitions() override;

  // The provider, or null before the first GetXamlType.
  std::shared_ptr<XamlTypeInfo::InfoProvider::XamlTypeInfoProvider> Provider() const {
    return metadata.Provider();
  }

 private:
  XamlMetadataOwner metadata;
  ModuleObjectCount counted;
};

// A new XamlMetaDataProvider, without a provider yet: the activator of the
// class's activation factory.
Platform::ObjectRef ActivateXamlMetaDataProvider();

}  // namespace Corvane::Corvane_XamlTypeInfo
