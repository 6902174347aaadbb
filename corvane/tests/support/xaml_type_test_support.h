// Test doubles for the XAML type-information tests.
#pragma once

#include <functional>
#include <memory>

#include "module/module.h"
#include "platform/xaml_metadata.h"
#include "xaml/xaml_user_type.h"

namespace corvane_test {

using Windows::UI::Xaml::Interop::TypeName;
using Windows::UI::Xaml::Markup::IXamlMetadataProvider;
using Windows::UI::Xaml::Markup::IXamlType;
using Windows::UI::Xaml::Markup::XmlnsDefinition;

struct PlainObject : Platform::Object {};
inline Platform::ObjectRef NewObject() { return std::make_shared<PlainObject>(); }

// A user record named `name`, constructible or not, standing for a type that
// another metadata provider answers with.
inline std::shared_ptr<IXamlType> MakeForeignType(const char16_t* name, bool constructible) {
  XamlTypeInfo::InfoProvider::TypeTableEntry row{
      name,    u"", constructible ? &NewObject : nullptr,         nullptr, nullptr,
      nullptr, -1,  Windows::UI::Xaml::Interop::TypeKind::Custom, 0,       -1};
  auto type = Platform::ref_new<XamlTypeInfo::InfoProvider::XamlUserType>(nullptr, name, nullptr);
  type->CopyRow(row);
  return type;
}

// An extra metadata provider whose answers the test scripts.
class FakeMetadataProvider : public IXamlMetadataProvider {
 public:
  std::function<std::shared_ptr<IXamlType>(const Platform::String&)> byName;
  std::function<std::shared_ptr<IXamlType>(const TypeName&)> byTypeName;
  int askedByName = 0;
  int askedByTypeName = 0;

  std::shared_ptr<IXamlType> GetXamlType(const TypeName& type) override {
    ++askedByTypeName;
    return byTypeName ? byTypeName(type) : nullptr;
  }
  std::shared_ptr<IXamlType> GetXamlType(const Platform::String& fullName) override {
    ++askedByName;
    return byName ? byName(fullName) : nullptr;
  }
  std::vector<XmlnsDefinition> GetXmlnsDefinitions() override { return {}; }
};

// Every test runs with a module object, so host objects count themselves.
inline std::shared_ptr<Corvane::Module> EnsureModule() { return Corvane::Module::Create(); }

}  // namespace corvane_test
