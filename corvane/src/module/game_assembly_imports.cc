#include "module/game_assembly_imports.h"

#include <dlfcn.h>

#include <string>

#include "platform/strings.h"

// Imported by name: no other module defines it, and the reference makes the
// program depend on libGameAssembly.so, so the loader refuses to start the
// program without it.
extern "C" void SetHeaderUpdateCallback(void (*callback)(const char* text));

namespace Corvane {
namespace {

constexpr const char* kModule = "libGameAssembly.so";

[[noreturn]] void MissingImport(const std::string& what) {
  const char* detail = dlerror();
  throw Platform::FailureException(
      Platform::FromUtf8(what + (detail ? std::string(" (") + detail + ")" : std::string())));
}

template <class Function>
void Bind(void* module, const char* name, Function& slot) {
  void* symbol = dlsym(module, name);
  if (!symbol) MissingImport(std::string(kModule) + " has no " + name);
  slot = reinterpret_cast<Function>(symbol);
}

GameAssemblyImports BindImports() {
  // RTLD_NOLOAD: only the copy the program was linked against, never a new
  // one from the search path. The handle is kept for the process's life.
  void* module = dlopen(kModule, RTLD_NOW | RTLD_NOLOAD);
  if (!module) MissingImport(std::string(kModule) + " is not loaded");
  GameAssemblyImports imports{};
  imports.SetHeaderUpdateCallback = &::SetHeaderUpdateCallback;
  Bind(module, "DllGetActivationFactory", imports.DllGetActivationFactory);
  Bind(module, "DllCanUnloadNow", imports.DllCanUnloadNow);
  return imports;
}

}  // namespace

GameAssemblyImports& GameAssembly() {
  static GameAssemblyImports imports = BindImports();
  return imports;
}

}  // namespace Corvane
