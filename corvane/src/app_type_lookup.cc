#include "app_type_lookup.h"

#include "main_page_activation.h"

namespace Corvane {
namespace {

using Windows::UI::Xaml::Markup::IXamlMember;
using Windows::UI::Xaml::Markup::IXamlType;

// The record of "Corvane.MainPage": constructible, nothing else.
class MainPageType : public IXamlType {
 public:
  std::shared_ptr<IXamlType> BaseType() override { return nullptr; }
  std::shared_ptr<IXamlMember> ContentProperty() override { return nullptr; }
  Platform::String FullName() override { return u"Corvane.MainPage"; }
  bool IsArray() override { return false; }
  bool IsCollection() override { return false; }
  bool IsConstructible() override { return true; }
  bool IsDictionary() override { return false; }
  bool IsMarkupExtension() override { return false; }
  bool IsBindable() override { return false; }
  std::shared_ptr<IXamlType> ItemType() override { return nullptr; }
  std::shared_ptr<IXamlType> KeyType() override { return nullptr; }
  Windows::UI::Xaml::Interop::TypeName UnderlyingType() override {
    return {FullName(), Windows::UI::Xaml::Interop::TypeKind::Custom};
  }
  Platform::ObjectRef ActivateInstance() override { return ActivateMainPage(); }
  Platform::ObjectRef CreateFromString(const Platform::String&) override { throw Platform::NotImplementedException(); }
  std::shared_ptr<IXamlMember> GetMember(const Platform::String&) override { return nullptr; }
  void AddToVector(const Platform::ObjectRef&, const Platform::ObjectRef&) override {
    throw Platform::NotImplementedException();
  }
  void AddToMap(const Platform::ObjectRef&, const Platform::ObjectRef&, const Platform::ObjectRef&) override {
    throw Platform::NotImplementedException();
  }
  void RunInitializer() override {}
};

}  // namespace

std::shared_ptr<IXamlType> AppTypeLookup::GetXamlType(const Windows::UI::Xaml::Interop::TypeName& type) {
  return GetXamlType(type.Name);
}

std::shared_ptr<IXamlType> AppTypeLookup::GetXamlType(const Platform::String& fullName) {
  if (fullName != u"Corvane.MainPage") return nullptr;
  return Platform::ref_new<MainPageType>();
}

}  // namespace Corvane
