#include "module/game_assembly_imports.h"

#include <dlfcn.h>
#include <link.h>

#include <string>

#include "platform/strings.h"

// Imported by name: no other module defines it, and the reference makes the
// program depend on libGameAssembly.so, so the loader refuses to start the
// program without it.
extern "C" void SetHeaderUpdateCallback(void (*callback)(const char* text));

namespace Corvane {
namespace {

constexpr const char* kModule = "libGameAssembly.so";

[[noreturn]] void Fail(HRESULT result, const std::string& message) {
  throw Platform::Exception(result, Platform::FromUtf8(message));
}

// The module's name with the file it was loaded from.
std::string ModuleDescription(void* module) {
  link_map* map = nullptr;
  if (dlinfo(module, RTLD_DI_LINKMAP, &map) != 0 || !map || !map->l_name || !*map->l_name) {
    return kModule;
  }
  return std::string(kModule) + " (" + map->l_name + ")";
}

// Stores `name` in `slot`, or adds it to `missing`.
template <class Function>
void Bind(void* module, const char* name, Function& slot, std::string& missing) {
  void* symbol = dlsym(module, name);
  if (!symbol) missing += (missing.empty() ? "" : ", ") + std::string(name);
  slot = reinterpret_cast<Function>(symbol);
}

GameAssemblyImports BindImports() {
  // RTLD_NOLOAD: only the copy the program was linked against, never a new
  // one from the search path. The handle is kept for the process's life.
  void* module = dlopen(kModule, RTLD_NOW | RTLD_NOLOAD);
  if (!module) Fail(kModuleNotFound, std::string(kModule) + " is not loaded");
  GameAssemblyImports imports{};
  imports.SetHeaderUpdateCallback = &::SetHeaderUpdateCallback;
  std::string missing;
  Bind(module, "DllGetActivationFactory", imports.DllGetActivationFactory, missing);
  Bind(module, "DllCanUnloadNow", imports.DllCanUnloadNow, missing);
  if (!missing.empty()) Fail(kImportNotFound, ModuleDescription(module) + " has no " + missing);
  return imports;
}

}  // namespace

GameAssemblyImports& GameAssembly() {
  static GameAssemblyImports imports = BindImports();
  return imports;
}

}  // namespace Corvane
