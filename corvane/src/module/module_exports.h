// The activation entry points the executable exports, forwarded unchanged to
// GameAssembly's functions of the same names through the import table
// (bound from GameAssembly's own handle, so never the executable's own
// same-named exports). The program's exports are one-liners:
//   extern "C" HRESULT DllGetActivationFactory(const Platform::String* id,
//       std::shared_ptr<IActivationFactory>* factory) {
//     return Corvane::ForwardDllGetActivationFactory(id, factory);
//   }
//   extern "C" HRESULT DllCanUnloadNow() { return Corvane::ForwardDllCanUnloadNow(); }
#pragma once

#include <memory>

#include "platform/activation_factory.h"
#include "platform/hresult.h"
#include "platform/runtime.h"

namespace Corvane {

// Plain transfers: arguments and answers pass unchanged; the host's own
// registration table is not consulted. They are called from C, so nothing
// unwinds out of them: when the import table cannot be bound they answer
// its failure (kModuleNotFound or kImportNotFound, with a null factory)
// instead of calling anything.
HRESULT ForwardDllGetActivationFactory(
    const Platform::String* activatableClassId,
    std::shared_ptr<Windows::Foundation::IActivationFactory>* factory) noexcept;
HRESULT ForwardDllCanUnloadNow() noexcept;

}  // namespace Corvane
