#include "module/activation_factories.h"

#include <typeinfo>

#include "page/main_page_activation.h"
#include "xaml/xaml_meta_data_provider.h"

namespace Corvane {
namespace {

using Windows::Foundation::IActivationFactory;

// A factory answers its own IActivationFactory and the interfaces every
// runtime object has (the base object).
Platform::ObjectRef QueryFactoryInterface(const std::shared_ptr<IActivationFactory>& factory,
                                          InterfaceId requested) {
  if (requested == InterfaceId(typeid(IActivationFactory))) return factory;
  if (requested == InterfaceId(typeid(Platform::Object))) return factory;
  throw Platform::InvalidCastException(u"the factory has no such interface");
}

template <class Factory>
HRESULT CreateFactory(InterfaceId requested, Platform::ObjectRef* result) {
  if (!result) return E_POINTER;
  *result = nullptr;
  return Platform::CallBoundary([&] {
    std::shared_ptr<IActivationFactory> created = Platform::ref_new<Factory>();
    *result = QueryFactoryInterface(created, requested);
    // The creation reference goes out of scope here; a failed request leaves
    // nothing alive.
  });
}

}  // namespace

Platform::String __MainPageActivationFactory::GetRuntimeClassName() const {
  return u"Corvane.__MainPageActivationFactory";
}

Windows::Foundation::TrustLevel __MainPageActivationFactory::GetTrustLevel() const {
  return Windows::Foundation::TrustLevel::BaseTrust;
}

std::vector<InterfaceId> __MainPageActivationFactory::GetIids() const {
  return {InterfaceId(typeid(IActivationFactory))};
}

Platform::ObjectRef __MainPageActivationFactory::ActivateInstance() { return ActivateMainPage(); }

namespace Corvane_XamlTypeInfo {

Platform::String __XamlMetaDataProviderActivationFactory::GetRuntimeClassName() const {
  return u"Corvane.Corvane_XamlTypeInfo.__XamlMetaDataProviderActivationFactory";
}

Windows::Foundation::TrustLevel __XamlMetaDataProviderActivationFactory::GetTrustLevel() const {
  return Windows::Foundation::TrustLevel::BaseTrust;
}

std::vector<InterfaceId> __XamlMetaDataProviderActivationFactory::GetIids() const {
  return {InterfaceId(typeid(IActivationFactory))};
}

Platform::ObjectRef __XamlMetaDataProviderActivationFactory::ActivateInstance() {
  return Platform::ref_new<XamlMetaDataProvider>();
}

}  // namespace Corvane_XamlTypeInfo

HRESULT CreateMainPageActivationFactory(InterfaceId requested, Platform::ObjectRef* factory) {
  return CreateFactory<__MainPageActivationFactory>(requested, factory);
}

HRESULT CreateXamlMetaDataProviderActivationFactory(InterfaceId requested,
                                                    Platform::ObjectRef* factory) {
  return CreateFactory<Corvane_XamlTypeInfo::__XamlMetaDataProviderActivationFactory>(requested,
                                                                                      factory);
}

}  // namespace Corvane
