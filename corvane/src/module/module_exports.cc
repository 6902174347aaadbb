#include "module/module_exports.h"

#include "module/game_assembly_imports.h"

namespace Corvane {

HRESULT ForwardDllGetActivationFactory(
    const Platform::String* activatableClassId,
    std::shared_ptr<Windows::Foundation::IActivationFactory>* factory) {
  return GameAssembly().DllGetActivationFactory(activatableClassId, factory);
}

HRESULT ForwardDllCanUnloadNow() { return GameAssembly().DllCanUnloadNow(); }

}  // namespace Corvane
