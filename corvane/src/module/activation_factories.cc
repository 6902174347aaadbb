#include "module/activation_factories.h"

#include <typeinfo>

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

}  // namespace

template <const ActivatableClass& Class>
HRESULT CreateActivationFactory(InterfaceId requested, Platform::ObjectRef* result) {
  if (!result) return E_POINTER;
  *result = nullptr;
  return Platform::CallBoundary([&] {
    std::shared_ptr<IActivationFactory> created = Platform::ref_new<ActivationFactory<Class>>();
    *result = QueryFactoryInterface(created, requested);
    // The creation reference goes out of scope here; a failed request leaves
    // nothing alive.
  });
}

template HRESULT CreateActivationFactory<MainPageClass>(InterfaceId, Platform::ObjectRef*);
template HRESULT CreateActivationFactory<XamlMetaDataProviderClass>(InterfaceId,
                                                                    Platform::ObjectRef*);

}  // namespace Corvane
