// The type record of a framework type that the host's types derive from. It
// knows only its name; every other question is not implemented.
#pragma once

#include "module/module.h"
#include "platform/activation_factory.h"
#include "platform/xaml_metadata.h"

namespace XamlTypeInfo::InfoProvider {

class XamlSystemBaseType : public virtual Windows::UI::Xaml::Markup::IXamlType {
 public:
  using IXamlType = Windows::UI::Xaml::Markup::IXamlType;
  using IXamlMember = Windows::UI::Xaml::Markup::IXamlMember;

  explicit XamlSystemBaseType(Platform::String fullName);

  Platform::String GetRuntimeClassName() const override;
  Windows::Foundation::TrustLevel GetTrustLevel() const;

  std::shared_ptr<IXamlType> BaseType() override;
  std::shared_ptr<IXamlMember> ContentProperty() override;
  Platform::String FullName() override;
  bool IsArray() override;
  bool IsCollection() override;
  bool IsConstructible() override;
  bool IsDictionary() override;
  bool IsMarkupExtension() override;
  bool IsBindable() override;
  std::shared_ptr<IXamlType> ItemType() override;
  std::shared_ptr<IXamlType> KeyType() override;
  // Kind Primitive, whatever the table row says.
  Windows::UI::Xaml::Interop::TypeName UnderlyingType() override;
  Platform::ObjectRef ActivateInstance() override;
  Platform::ObjectRef CreateFromString(const Platform::String& value) override;
  std::shared_ptr<IXamlMember> GetMember(const Platform::String& name) override;
  void AddToVector(const Platform::ObjectRef& instance, const Platform::ObjectRef& value) override;
  void AddToMap(const Platform::ObjectRef& instance, const Platform::ObjectRef& key,
                const Platform::ObjectRef& value) override;
  void RunInitializer() override;

 private:
  Platform::String fullName;
  Corvane::ModuleObjectCount counted;
};

}  // namespace XamlTypeInfo::InfoProvider
