// Activation factories of the host's two runtime classes, and the functions
// of the module's registration table that make them.
#pragma once

#include <vector>

#include "module/module.h"
#include "module/module_registration.h"
#include "platform/activation_factory.h"

namespace Corvane {

// Makes a new Corvane::MainPage each time.
class __MainPageActivationFactory : public virtual Windows::Foundation::IActivationFactory {
 public:
  Platform::String GetRuntimeClassName() const override;
  Windows::Foundation::TrustLevel GetTrustLevel() const;
  std::vector<InterfaceId> GetIids() const;

  Platform::ObjectRef ActivateInstance() override;

 private:
  ModuleObjectCount counted;
};

namespace Corvane_XamlTypeInfo {

// Makes a new XamlMetaDataProvider (without a provider yet) each time.
class __XamlMetaDataProviderActivationFactory
    : public virtual Windows::Foundation::IActivationFactory {
 public:
  Platform::String GetRuntimeClassName() const override;
  Windows::Foundation::TrustLevel GetTrustLevel() const;
  std::vector<InterfaceId> GetIids() const;

  Platform::ObjectRef ActivateInstance() override;

 private:
  ModuleObjectCount counted;
};

}  // namespace Corvane_XamlTypeInfo

// Registration-table functions: make a new factory and hand back its
// `requested` interface; E_NOINTERFACE, and no object kept, for an interface
// the factory does not have.
HRESULT CreateMainPageActivationFactory(InterfaceId requested, Platform::ObjectRef* factory);
HRESULT CreateXamlMetaDataProviderActivationFactory(InterfaceId requested,
                                                    Platform::ObjectRef* factory);

}  // namespace Corvane
