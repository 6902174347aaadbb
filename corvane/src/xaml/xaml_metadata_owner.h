// The IXamlMetadataProvider answers shared by the two objects that offer the
// host's type information (the application object and the activatable
// XamlMetaDataProvider): each owns one of these, so each has its own
// provider, created on its first type question.
#pragma once

#include <memory>
#include <vector>

#include "platform/xaml_metadata.h"
#include "xaml/xaml_type_info_provider.h"

namespace Corvane {

class XamlMetadataOwner {
 public:
  using IXamlType = Windows::UI::Xaml::Markup::IXamlType;
  using XamlTypeInfoProvider = XamlTypeInfo::InfoProvider::XamlTypeInfoProvider;

  std::shared_ptr<IXamlType> GetXamlType(const Windows::UI::Xaml::Interop::TypeName& type);
  std::shared_ptr<IXamlType> GetXamlType(const Platform::String& fullName);
  // Always a new, empty list: the host declares no XML namespaces.
  std::vector<Windows::UI::Xaml::Markup::XmlnsDefinition> GetXmlnsDefinitions();

  // The provider in use, or null before the first type question.
  std::shared_ptr<XamlTypeInfoProvider> Provider() const;

 private:
  std::shared_ptr<XamlTypeInfoProvider> EnsureProvider();

  // Read and written atomically: callers racing on the first question may
  // each build a provider; the last one stored is kept.
  std::shared_ptr<XamlTypeInfoProvider> provider;
};

}  // namespace Corvane
