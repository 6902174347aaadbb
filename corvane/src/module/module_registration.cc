#include "module/module_registration.h"

#include "module/activation_factories.h"

namespace Corvane {
namespace {

const char16_t* MainPageClassId() { return u"Corvane.MainPage"; }
const char16_t* XamlMetaDataProviderClassId() {
  return u"Corvane.Corvane_XamlTypeInfo.XamlMetaDataProvider";
}

FactoryCacheSlot mainPageFactoryCache;
FactoryCacheSlot xamlMetaDataProviderFactoryCache;

}  // namespace

const RegistrationEntry RegistrationTable[RegistrationEntryCount] = {
    {&MainPageClassId, &CreateMainPageActivationFactory, &mainPageFactoryCache, nullptr},
    {&XamlMetaDataProviderClassId, &CreateXamlMetaDataProviderActivationFactory,
     &xamlMetaDataProviderFactoryCache, nullptr},
};

}  // namespace Corvane
