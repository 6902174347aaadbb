// This program exports DllGetActivationFactory and DllCanUnloadNow of its
// own, as the corvane executable does: the import table must still reach
// GameAssembly's.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <string>

#include "module/game_assembly_imports.h"

extern "C" __attribute__((visibility("default"))) HRESULT DllGetActivationFactory(
    const Platform::String*, std::shared_ptr<Windows::Foundation::IActivationFactory>*) {
  return E_UNEXPECTED;
}

extern "C" __attribute__((visibility("default"))) HRESULT DllCanUnloadNow() { return E_UNEXPECTED; }

namespace {

std::string ModuleOf(const void* address) {
  Dl_info info{};
  if (!dladdr(address, &info) || !info.dli_fname) return {};
  return info.dli_fname;
}

bool EndsWith(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() &&
         text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

TEST(GameAssemblyImports, BindToGameAssemblyNeverToTheHostsOwnExports) {
  // The hazard: looked up by name in the global scope, the program's own
  // export comes first.
  EXPECT_EQ(dlsym(RTLD_DEFAULT, "DllCanUnloadNow"), reinterpret_cast<void*>(&DllCanUnloadNow));

  auto& imports = Corvane::GameAssembly();
  EXPECT_TRUE(EndsWith(ModuleOf(reinterpret_cast<void*>(imports.DllGetActivationFactory)),
                       "libGameAssembly.so"));
  EXPECT_TRUE(
      EndsWith(ModuleOf(reinterpret_cast<void*>(imports.DllCanUnloadNow)), "libGameAssembly.so"));
  EXPECT_TRUE(EndsWith(ModuleOf(reinterpret_cast<void*>(imports.SetHeaderUpdateCallback)),
                       "libGameAssembly.so"));

  // GameAssembly's answers come back unchanged, even for the host's classes.
  std::shared_ptr<Windows::Foundation::IActivationFactory> factory;
  const Platform::String id = u"Corvane.MainPage";
  EXPECT_EQ(imports.DllGetActivationFactory(&id, &factory), REGDB_E_CLASSNOTREG);
  EXPECT_EQ(factory, nullptr);
  EXPECT_EQ(imports.DllCanUnloadNow(), S_FALSE);
}

}  // namespace
