#include "xaml/xaml_type_info_provider.h"

#include <utility>

#include "xaml/xaml_system_base_type.h"
#include "xaml/xaml_user_type.h"

namespace XamlTypeInfo::InfoProvider {

Platform::String XamlTypeInfoProvider::GetRuntimeClassName() const {
  return u"XamlTypeInfo.InfoProvider.XamlTypeInfoProvider";
}

Windows::Foundation::TrustLevel XamlTypeInfoProvider::GetTrustLevel() const {
  return Windows::Foundation::TrustLevel::BaseTrust;
}

std::shared_ptr<XamlTypeInfoProvider::IXamlType> XamlTypeInfoProvider::FindTypeByIndex(
    std::int32_t row) {
  return FindTypeByName(row < 0 ? Platform::String() : Platform::String(TypeTable[row].typeName));
}

std::shared_ptr<XamlTypeInfoProvider::IXamlType> XamlTypeInfoProvider::BuildType(
    const Platform::String& name) {
  const TypeTableEntry* row = LookUpTypeEntry(name);
  if (!row) return nullptr;
  if (row->flags & TypeFlagSystem) return Platform::ref_new<XamlSystemBaseType>(name);

  auto baseType = FindTypeByIndex(row->baseTypeIndex);
  auto type = Platform::ref_new<XamlUserType>(Platform::RefFrom(this),
                                              Platform::String(row->typeName), std::move(baseType));
  type->CopyRow(*row);
  type->SetBoxedType(FindTypeByIndex(row->boxedTypeIndex));
  return type;
}

bool XamlTypeInfoProvider::ShouldAskExtraProviders(const std::shared_ptr<IXamlType>& own) {
  if (!own) return true;
  auto user = std::dynamic_pointer_cast<XamlUserType>(own);
  return user && user->IsPlaceholder() && !user->IsLocalType();
}

std::shared_ptr<XamlTypeInfoProvider::IXamlType> XamlTypeInfoProvider::PreferExtra(
    std::shared_ptr<IXamlType> own, std::shared_ptr<IXamlType> other) {
  if (other && other != own && (other->IsConstructible() || !own)) return other;
  return own;
}

std::shared_ptr<XamlTypeInfoProvider::IXamlType> XamlTypeInfoProvider::FindTypeByName(
    const Platform::String& name) {
  if (name.empty()) return nullptr;
  std::lock_guard<std::recursive_mutex> hold(typeCacheLock);

  auto cached = typeCache.find(name);
  if (cached != typeCache.end()) {
    if (auto alive = cached->second.lock()) return alive;
  }

  auto result = BuildType(name);
  if (ShouldAskExtraProviders(result)) {
    result = PreferExtra(std::move(result), AskExtraProvidersByName(name));
  }
  // Keyed by the record's own name, which an extra provider may spell
  // differently from the request.
  if (result) typeCache[result->FullName()] = result;
  return result;
}

std::shared_ptr<XamlTypeInfoProvider::IXamlType> XamlTypeInfoProvider::FindTypeByTypeName(
    const TypeName& type) {
  auto own = FindTypeByName(type.Name);
  if (!ShouldAskExtraProviders(own)) return own;
  return PreferExtra(std::move(own), AskExtraProvidersByTypeName(type));
}

std::shared_ptr<XamlTypeInfoProvider::IXamlMember> XamlTypeInfoProvider::FindMemberByFullName(
    const Platform::String& name) {
  if (name.empty()) return nullptr;
  std::lock_guard<std::recursive_mutex> hold(memberCacheLock);
  auto member = memberCache.find(name);
  return member == memberCache.end() ? nullptr : member->second;
}

std::vector<Platform::String> XamlTypeInfoProvider::CachedTypeNames() {
  std::lock_guard<std::recursive_mutex> hold(typeCacheLock);
  std::vector<Platform::String> names;
  for (const auto& entry : typeCache) names.push_back(entry.first);
  return names;
}

template <class Ask>
std::shared_ptr<XamlTypeInfoProvider::IXamlType> XamlTypeInfoProvider::AskExtraProviders(
    Ask&& ask) {
  std::shared_ptr<IXamlType> found;
  // The size is read again before every step: a provider may add others.
  for (std::size_t i = 0; i < ExtraProviders().size(); ++i) {
    auto provider = ExtraProviders()[i];
    auto answer = ask(*provider);
    if (!answer) continue;
    if (answer->IsConstructible()) return answer;
    found = std::move(answer);
  }
  return found;
}

std::shared_ptr<XamlTypeInfoProvider::IXamlType> XamlTypeInfoProvider::AskExtraProvidersByName(
    const Platform::String& name) {
  return AskExtraProviders([&](IXamlMetadataProvider& p) { return p.GetXamlType(name); });
}

std::shared_ptr<XamlTypeInfoProvider::IXamlType> XamlTypeInfoProvider::AskExtraProvidersByTypeName(
    const TypeName& type) {
  return AskExtraProviders([&](IXamlMetadataProvider& p) { return p.GetXamlType(type); });
}

std::vector<std::shared_ptr<XamlTypeInfoProvider::IXamlMetadataProvider>>&
XamlTypeInfoProvider::ExtraProviders() {
  std::call_once(extraProvidersCreated, [this] {
    extraProviders = std::make_unique<std::vector<std::shared_ptr<IXamlMetadataProvider>>>();
  });
  return *extraProviders;
}

}  // namespace XamlTypeInfo::InfoProvider
