// Turns rows of the XAML type table into type records on demand and keeps
// them reusable, without keeping them alive, in a cache of weak references.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "module/module.h"
#include "platform/activation_factory.h"
#include "platform/xaml_metadata.h"
#include "xaml/xaml_type_table.h"

namespace XamlTypeInfo::InfoProvider {

class XamlTypeInfoProvider : public virtual Platform::Object {
 public:
  using IXamlType = Windows::UI::Xaml::Markup::IXamlType;
  using IXamlMember = Windows::UI::Xaml::Markup::IXamlMember;
  using IXamlMetadataProvider = Windows::UI::Xaml::Markup::IXamlMetadataProvider;
  using TypeName = Windows::UI::Xaml::Interop::TypeName;

  Platform::String GetRuntimeClassName() const override;
  Windows::Foundation::TrustLevel GetTrustLevel() const;

  // A new record for the row named `name`, or null.
  std::shared_ptr<IXamlType> BuildType(const Platform::String& name);
  // The record for `name`, from the cache while someone still holds it;
  // extra providers are asked where the table has no (or only a placeholder)
  // answer. Null for unknown, empty and overlong names.
  std::shared_ptr<IXamlType> FindTypeByName(const Platform::String& name);
  // As FindTypeByName(type.Name), whatever the kind; then the extra
  // providers are asked by TypeName on the same terms.
  std::shared_ptr<IXamlType> FindTypeByTypeName(const TypeName& type);
  std::shared_ptr<IXamlMember> FindMemberByFullName(const Platform::String& name);
  // The full names typeCache has entries for (alive or not), in order: every
  // name this provider has resolved.
  std::vector<Platform::String> CachedTypeNames();

  // The first constructible answer of the extra providers, else the last
  // answer, else null. Their failures are raised.
  std::shared_ptr<IXamlType> AskExtraProvidersByName(const Platform::String& name);
  std::shared_ptr<IXamlType> AskExtraProvidersByTypeName(const TypeName& type);
  // Created empty on first use; the host itself never adds to it.
  std::vector<std::shared_ptr<IXamlMetadataProvider>>& ExtraProviders();

 private:
  // Step shared by both lookups: whether an extra provider's answer `other`
  // replaces our own record `own`.
  static bool ShouldAskExtraProviders(const std::shared_ptr<IXamlType>& own);
  static std::shared_ptr<IXamlType> PreferExtra(std::shared_ptr<IXamlType> own,
                                                std::shared_ptr<IXamlType> other);
  std::shared_ptr<IXamlType> FindTypeByIndex(std::int32_t row);

  template <class Ask>
  std::shared_ptr<IXamlType> AskExtraProviders(Ask&& ask);

  std::recursive_mutex typeCacheLock;
  std::map<Platform::String, std::weak_ptr<IXamlType>> typeCache;
  std::recursive_mutex memberCacheLock;
  std::map<Platform::String, std::shared_ptr<IXamlMember>> memberCache;
  std::once_flag extraProvidersCreated;
  std::unique_ptr<std::vector<std::shared_ptr<IXamlMetadataProvider>>> extraProviders;
  Corvane::ModuleObjectCount counted;
};

}  // namespace XamlTypeInfo::InfoProvider
