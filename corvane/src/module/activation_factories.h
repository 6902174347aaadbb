// Activation factories of the host's runtime classes, all made from one
// template: each activatable class is one ActivatableClass row, and its
// factory is ActivationFactory<row>.
#pragma once

#include <typeinfo>
#include <vector>

#include "module/module.h"
#include "module/module_registration.h"
#include "page/main_page_activation.h"
#include "platform/activation_factory.h"
#include "xaml/xaml_meta_data_provider.h"

namespace Corvane {

// One activatable runtime class of the host.
struct ActivatableClass {
  const char16_t* classId;
  const char16_t* factoryClassName;
  // Makes a new instance with the class's parameterless constructor.
  Platform::ObjectRef (*activate)();
};

inline constexpr ActivatableClass MainPageClass{
    u"Corvane.MainPage", u"Corvane.__MainPageActivationFactory", &ActivateMainPage};
inline constexpr ActivatableClass XamlMetaDataProviderClass{
    u"Corvane.Corvane_XamlTypeInfo.XamlMetaDataProvider",
    u"Corvane.Corvane_XamlTypeInfo.__XamlMetaDataProviderActivationFactory",
    &Corvane_XamlTypeInfo::ActivateXamlMetaDataProvider};

// The factory of `Class`: base trust, IActivationFactory as its only
// interface, a new instance on every ActivateInstance.
template <const ActivatableClass& Class>
class ActivationFactory final : public virtual Windows::Foundation::IActivationFactory {
 public:
  Platform::String GetRuntimeClassName() const override { return Class.factoryClassName; }
  Windows::Foundation::TrustLevel GetTrustLevel() const {
    return Windows::Foundation::TrustLevel::BaseTrust;
  }
  std::vector<InterfaceId> GetIids() const {
    return {InterfaceId(typeid(Windows::Foundation::IActivationFactory))};
  }

  Platform::ObjectRef ActivateInstance() override { return Class.activate(); }

 private:
  ModuleObjectCount counted;
};

using __MainPageActivationFactory = ActivationFactory<MainPageClass>;
namespace Corvane_XamlTypeInfo {
using __XamlMetaDataProviderActivationFactory = ActivationFactory<XamlMetaDataProviderClass>;
}  // namespace Corvane_XamlTypeInfo

// The registration-table function of `Class`: makes a new factory and hands
// back its `requested` interface; E_NOINTERFACE, and no object kept, for an
// interface the factory does not have.
template <const ActivatableClass& Class>
HRESULT CreateActivationFactory(InterfaceId requested, Platform::ObjectRef* factory);

}  // namespace Corvane
