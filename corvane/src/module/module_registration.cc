#include "module/module_registration.h"

#include "module/activation_factories.h"

namespace Corvane {
namespace {

template <const ActivatableClass& Class>
const char16_t* ClassIdOf() {
  return Class.classId;
}

FactoryCacheSlot mainPageFactoryCache;
FactoryCacheSlot xamlMetaDataProviderFactoryCache;

}  // namespace

const RegistrationEntry RegistrationTable[RegistrationEntryCount] = {
    {&ClassIdOf<MainPageClass>, &CreateActivationFactory<MainPageClass>, &mainPageFactoryCache,
     nullptr},
    {&ClassIdOf<XamlMetaDataProviderClass>, &CreateActivationFactory<XamlMetaDataProviderClass>,
     &xamlMetaDataProviderFactoryCache, nullptr},
};

}  // namespace Corvane
