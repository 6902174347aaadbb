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

// The loader's result codes for a missing module and a missing function
// (ERROR_MOD_NOT_FOUND and ERROR_PROC_NOT_FOUND as HRESULTs).
inline constexpr HRESULT kModuleNotFound = static_cast<HRESULT>(0x8007007Eu);
inline constexpr HRESULT kImportNotFound = static_cast<HRESULT>(0x8007007Fu);

// The table, bound on first use (thread-safe); all or nothing. Raises
// Platform::Exception with kModuleNotFound, or with kImportNotFound and a
// message naming every missing function. The program binds it before it
// starts the application or queries its own exports, so a missing import
// stops it there with that message.
GameAssemblyImports& GameAssembly();

}  // namespace Corvane
