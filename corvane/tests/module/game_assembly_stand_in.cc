// A GameAssembly stand-in that lacks one of the imports the host binds
// (OMIT_DllGetActivationFactory or OMIT_DllCanUnloadNow, set by the build).
// Tests load it in place of the real libGameAssembly.so through
// LD_LIBRARY_PATH, which the loader searches before the program's RUNPATH.
#include <memory>

#include "platform/activation_factory.h"
#include "platform/hresult.h"

#define STAND_IN_EXPORT extern "C" __attribute__((visibility("default")))

STAND_IN_EXPORT void SetHeaderUpdateCallback(void (*)(const char*)) {}

#ifndef OMIT_DllGetActivationFactory
STAND_IN_EXPORT HRESULT DllGetActivationFactory(
    const Platform::String*, std::shared_ptr<Windows::Foundation::IActivationFactory>* factory) {
  if (factory) factory->reset();
  return REGDB_E_CLASSNOTREG;
}
#endif

#ifndef OMIT_DllCanUnloadNow
STAND_IN_EXPORT HRESULT DllCanUnloadNow() { return S_FALSE; }
#endif
