// The host's import table for GameAssembly's three functions.
//
// On Linux the host executable exports DllGetActivationFactory and
// DllCanUnloadNow itself, so a plain call by name could bind to the host's
// own functions. Those two are therefore looked up through
// libGameAssembly.so's own handle (the module the program is linked
// against, already loaded when the process starts): their pointers can only
// ever be GameAssembly's. SetHeaderUpdateCallback, a name only GameAssembly
// defines, is imported directly.
#pragma once

#include <memory>

#include "platform/activation_factory.h"
#include "platform/runtime.h"

namespace Corvane {

using HeaderUpdateCallbackFunction = void (*)(const char* text);

using DllGetActivationFactoryFunction =
    HRESULT (*)(const Platform::String* activatableClassId,
                std::shared_ptr<Windows::Foundation::IActivationFactory>* factory);

struct GameAssemblyImports {
  void (*SetHeaderUpdateCallback)(HeaderUpdateCallbackFunction callback);
  DllGetActivationFactoryFunction DllGetActivationFactory;
  HRESULT (*DllCanUnloadNow)();
};

// The table, bound on first use (thread-safe). Raises FailureException with
// the module's or the function's name when one is missing; the program
// binds it before starting, so a missing import stops the start.
GameAssemblyImports& GameAssembly();

}  // namespace Corvane
