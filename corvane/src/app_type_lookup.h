// The application object's answers to the XAML runtime's type questions,
// until the generated type information takes over: it knows
// "Corvane.MainPage" alone, and activating that type makes a new page.
#pragma once

#include <memory>
#include <vector>

#include "platform/xaml_metadata.h"

namespace Corvane {

class AppTypeLookup {
 public:
  std::shared_ptr<Windows::UI::Xaml::Markup::IXamlType> GetXamlType(
      const Windows::UI::Xaml::Interop::TypeName& type);
  std::shared_ptr<Windows::UI::Xaml::Markup::IXamlType> GetXamlType(const Platform::String& fullName);
  std::vector<Windows::UI::Xaml::Markup::XmlnsDefinition> GetXmlnsDefinitions() { return {}; }
};

}  // namespace Corvane
