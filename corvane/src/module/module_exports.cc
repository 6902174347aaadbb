#include "module/module_exports.h"

#include "module/game_assembly_imports.h"

namespace Corvane {
namespace {

// The bound import table, or null with the binding's failure in `result`.
GameAssemblyImports* BoundImports(HRESULT& result) noexcept {
  GameAssemblyImports* imports = nullptr;
  result = Platform::CallBoundary([&imports] { imports = &GameAssembly(); });
  return imports;
}

}  // namespace

HRESULT ForwardDllGetActivationFactory(
    const Platform::String* activatableClassId,
    std::shared_ptr<Windows::Foundation::IActivationFactory>* factory) noexcept {
  HRESULT result = S_OK;
  GameAssemblyImports* imports = BoundImports(result);
  if (!imports) {
    if (factory) factory->reset();
    return result;
  }
  return imports->DllGetActivationFactory(activatableClassId, factory);
}

HRESULT ForwardDllCanUnloadNow() noexcept {
  HRESULT result = S_OK;
  GameAssemblyImports* imports = BoundImports(result);
  return imports ? imports->DllCanUnloadNow() : result;
}

}  // namespace Corvane
