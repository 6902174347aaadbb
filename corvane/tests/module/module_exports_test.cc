// The activation entry points forwarded to GameAssembly.
#include <gtest/gtest.h>

#include "module/activation_factories.h"
#include "module/game_assembly_imports.h"
#include "module/module.h"
#include "module/module_exports.h"
#include "support/xaml_type_test_support.h"

using Windows::Foundation::IActivationFactory;

// The executable's own exports, written as the program writes them: same
// names as GameAssembly's, so only a binding by GameAssembly's handle keeps
// the forward from calling itself.
extern "C" HRESULT DllGetActivationFactory(const Platform::String* id,
                                           std::shared_ptr<IActivationFactory>* factory) {
  return Corvane::ForwardDllGetActivationFactory(id, factory);
}
extern "C" HRESULT DllCanUnloadNow() { return Corvane::ForwardDllCanUnloadNow(); }

namespace {

using namespace corvane_test;

struct ScriptedGameAssembly {
  static inline const Platform::String* seenId = nullptr;
  static inline std::shared_ptr<IActivationFactory>* seenFactory = nullptr;
  static inline HRESULT answer = S_OK;
  static inline std::shared_ptr<IActivationFactory> factory;
  static inline HRESULT unloadAnswer = S_OK;

  static HRESULT GetActivationFactory(const Platform::String* id,
                                      std::shared_ptr<IActivationFactory>* out) {
    seenId = id;
    seenFactory = out;
    if (out) *out = factory;
    return answer;
  }
  static HRESULT CanUnloadNow() { return unloadAnswer; }
};

// Puts scripted functions into the import table for one test.
class ScriptedImports {
 public:
  ScriptedImports() : saved(Corvane::GameAssembly()) {
    Corvane::GameAssembly().DllGetActivationFactory = &ScriptedGameAssembly::GetActivationFactory;
    Corvane::GameAssembly().DllCanUnloadNow = &ScriptedGameAssembly::CanUnloadNow;
  }
  ~ScriptedImports() { Corvane::GameAssembly() = saved; }

 private:
  Corvane::GameAssemblyImports saved;
};

TEST(ModuleExports, ForwardsPassArgumentsAndAnswersUnchanged) {
  auto module = EnsureModule();
  ScriptedImports scripted;

  // Even the host's own class names get GameAssembly's answer, not a
  // factory from the host's registration table.
  for (const Platform::String id :
       {u"Corvane.MainPage", u"Corvane.Corvane_XamlTypeInfo.XamlMetaDataProvider", u"Game.Thing"}) {
    ScriptedGameAssembly::answer = REGDB_E_CLASSNOTREG;
    ScriptedGameAssembly::factory = nullptr;
    std::shared_ptr<IActivationFactory> factory;
    EXPECT_EQ(DllGetActivationFactory(&id, &factory), REGDB_E_CLASSNOTREG);
    EXPECT_EQ(ScriptedGameAssembly::seenId, &id);
    EXPECT_EQ(ScriptedGameAssembly::seenFactory, &factory);
    EXPECT_EQ(factory, nullptr);
  }

  // Success, odd codes and null arguments pass through as they are.
  Platform::ObjectRef someFactory;
  ASSERT_EQ(module->GetFirstEntry()->createFactory(typeid(IActivationFactory), &someFactory), S_OK);
  ScriptedGameAssembly::factory = Platform::safe_cast<IActivationFactory>(someFactory);
  ScriptedGameAssembly::answer = S_FALSE;
  std::shared_ptr<IActivationFactory> out;
  EXPECT_EQ(DllGetActivationFactory(nullptr, &out), S_FALSE);
  EXPECT_EQ(ScriptedGameAssembly::seenId, nullptr);
  EXPECT_EQ(out, ScriptedGameAssembly::factory);
  ScriptedGameAssembly::answer = E_ACCESSDENIED;
  EXPECT_EQ(DllGetActivationFactory(nullptr, nullptr), E_ACCESSDENIED);
  EXPECT_EQ(ScriptedGameAssembly::seenFactory, nullptr);

  // The unload answer is GameAssembly's even while host objects are alive.
  ASSERT_GT(module->GetObjectCount(), 0u);
  for (HRESULT answer : {S_OK, S_FALSE, E_FAIL}) {
    ScriptedGameAssembly::unloadAnswer = answer;
    EXPECT_EQ(DllCanUnloadNow(), answer);
  }
  ScriptedGameAssembly::factory = nullptr;
}

TEST(ModuleExports, ForwardsReachGameAssemblyNeverTheProgramsOwnExports) {
  EXPECT_NE(Corvane::GameAssembly().DllGetActivationFactory, &::DllGetActivationFactory);
  EXPECT_NE(Corvane::GameAssembly().DllCanUnloadNow, &::DllCanUnloadNow);

  // The sample GameAssembly serves no class and keeps itself loaded.
  const Platform::String page = u"Corvane.MainPage";
  std::shared_ptr<IActivationFactory> factory;
  EXPECT_EQ(DllGetActivationFactory(&page, &factory), REGDB_E_CLASSNOTREG);
  EXPECT_EQ(factory, nullptr);
  EXPECT_EQ(DllCanUnloadNow(), S_FALSE);
}

}  // namespace
