// The XAML runtime's type-information interfaces
// (Windows::UI::Xaml::Markup and Windows::UI::Xaml::Interop).
//
// Members are the projected form: they return their value and raise a
// Platform::Exception for a failure result (E_NOTIMPL raises
// NotImplementedException). Where the platform calls into an implementation
// it wraps the call in Platform::CallBoundary.
#pragma once

#include <memory>
#include <vector>

#include "platform/runtime.h"

namespace Windows::UI::Xaml::Interop {

enum class TypeKind : std::int32_t { Primitive = 0, Metadata = 1, Custom = 2 };

struct TypeName {
  Platform::String Name;
  TypeKind Kind = TypeKind::Primitive;
};

}  // namespace Windows::UI::Xaml::Interop

namespace Windows::UI::Xaml::Markup {

struct XmlnsDefinition {
  Platform::String XamlNamespace;
  Platform::String Namespace;
};

class IXamlType;

class IXamlMember : public virtual Platform::Object {
 public:
  virtual Platform::String Name() = 0;
  virtual std::shared_ptr<IXamlType> Type() = 0;
  virtual std::shared_ptr<IXamlType> TargetType() = 0;
  virtual bool IsAttachable() = 0;
  virtual bool IsDependencyProperty() = 0;
  virtual bool IsReadOnly() = 0;
  virtual Platform::ObjectRef GetValue(const Platform::ObjectRef& instance) = 0;
  virtual void SetValue(const Platform::ObjectRef& instance, const Platform::ObjectRef& value) = 0;
};

// Members in the interface's order.
class IXamlType : public virtual Platform::Object {
 public:
  virtual std::shared_ptr<IXamlType> BaseType() = 0;
  virtual std::shared_ptr<IXamlMember> ContentProperty() = 0;
  virtual Platform::String FullName() = 0;
  virtual bool IsArray() = 0;
  virtual bool IsCollection() = 0;
  virtual bool IsConstructible() = 0;
  virtual bool IsDictionary() = 0;
  virtual bool IsMarkupExtension() = 0;
  virtual bool IsBindable() = 0;
  virtual std::shared_ptr<IXamlType> ItemType() = 0;
  virtual std::shared_ptr<IXamlType> KeyType() = 0;
  virtual Interop::TypeName UnderlyingType() = 0;
  virtual Platform::ObjectRef ActivateInstance() = 0;
  virtual Platform::ObjectRef CreateFromString(const Platform::String& value) = 0;
  virtual std::shared_ptr<IXamlMember> GetMember(const Platform::String& name) = 0;
  virtual void AddToVector(const Platform::ObjectRef& instance,
                           const Platform::ObjectRef& value) = 0;
  virtual void AddToMap(const Platform::ObjectRef& instance, const Platform::ObjectRef& key,
                        const Platform::ObjectRef& value) = 0;
  virtual void RunInitializer() = 0;
};

class IXamlType2 : public virtual IXamlType {
 public:
  virtual std::shared_ptr<IXamlType> BoxedType() = 0;
};

// Answered by the application object (and by activatable provider classes):
// the XAML runtime asks it for the types its markup and navigation name.
class IXamlMetadataProvider : public virtual Platform::Object {
 public:
  virtual std::shared_ptr<IXamlType> GetXamlType(const Interop::TypeName& type) = 0;
  virtual std::shared_ptr<IXamlType> GetXamlType(const Platform::String& fullName) = 0;
  virtual std::vector<XmlnsDefinition> GetXmlnsDefinitions() = 0;
};

}  // namespace Windows::UI::Xaml::Markup
