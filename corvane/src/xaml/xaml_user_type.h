// The type record of a type that the host defines, built from its table row.
#pragma once

#include <map>
#include <memory>

#include "module/module.h"
#include "platform/activation_factory.h"
#include "platform/xaml_metadata.h"
#include "xaml/xaml_type_table.h"

namespace XamlTypeInfo::InfoProvider {

class XamlTypeInfoProvider;

class XamlUserType : public virtual Windows::UI::Xaml::Markup::IXamlType2 {
 public:
  using IXamlType = Windows::UI::Xaml::Markup::IXamlType;
  using IXamlMember = Windows::UI::Xaml::Markup::IXamlMember;

  XamlUserType(std::shared_ptr<XamlTypeInfoProvider> provider, Platform::String fullName,
               std::shared_ptr<IXamlType> baseType);

  // Copies the row's kind, functions, content property name and flags.
  void CopyRow(const TypeTableEntry& row);
  void SetBoxedType(std::shared_ptr<IXamlType> boxed) { boxedType = std::move(boxed); }

  bool IsLocalType() const { return isLocal; }
  bool IsPlaceholder() const { return isPlaceholder; }

  Platform::String GetRuntimeClassName() const override;
  Windows::Foundation::TrustLevel GetTrustLevel() const;

  std::shared_ptr<IXamlType> BaseType() override { return baseType; }
  std::shared_ptr<IXamlMember> ContentProperty() override;
  Platform::String FullName() override { return fullName; }
  bool IsArray() override { return false; }
  bool IsCollection() override { return collectionAdd != nullptr; }
  bool IsConstructible() override { return activator != nullptr; }
  bool IsDictionary() override { return dictionaryAdd != nullptr; }
  bool IsMarkupExtension() override { return isMarkupExtension; }
  bool IsBindable() override { return isBindable; }
  std::shared_ptr<IXamlType> ItemType() override { return nullptr; }
  std::shared_ptr<IXamlType> KeyType() override { return nullptr; }
  Windows::UI::Xaml::Interop::TypeName UnderlyingType() override { return {fullName, kind}; }
  // The four below raise NotImplementedException when the row has no
  // function for them.
  Platform::ObjectRef ActivateInstance() override;
  Platform::ObjectRef CreateFromString(const Platform::String& value) override;
  void AddToVector(const Platform::ObjectRef& instance, const Platform::ObjectRef& value) override;
  void AddToMap(const Platform::ObjectRef& instance, const Platform::ObjectRef& key,
                const Platform::ObjectRef& value) override;
  std::shared_ptr<IXamlMember> GetMember(const Platform::String& name) override;
  void RunInitializer() override {}

  std::shared_ptr<IXamlType> BoxedType() override { return boxedType; }

 private:
  ActivatorFunction activator = nullptr;
  AddToVectorFunction collectionAdd = nullptr;
  AddToMapFunction dictionaryAdd = nullptr;
  CreateFromStringFunction fromStringConverter = nullptr;
  Windows::UI::Xaml::Interop::TypeKind kind = Windows::UI::Xaml::Interop::TypeKind::Custom;
  std::shared_ptr<XamlTypeInfoProvider> provider;
  std::shared_ptr<IXamlType> baseType;
  Platform::String contentPropertyName;
  Platform::String fullName;
  bool isBindable = false;
  bool isMarkupExtension = false;
  bool isPlaceholder = false;
  bool isLocal = false;
  std::shared_ptr<IXamlType> boxedType;
  // Short member name to full member name; the host declares no members.
  std::map<Platform::String, Platform::String> memberNames;
  Corvane::ModuleObjectCount counted;
};

}  // namespace XamlTypeInfo::InfoProvider
