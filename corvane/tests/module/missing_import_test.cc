// Runs with a GameAssembly that has no DllCanUnloadNow (the build puts the
// stand-in on LD_LIBRARY_PATH): the import table is not bound, and the
// forwards behind the program's C exports answer the failure instead of
// raising.
#include <gtest/gtest.h>

#include <string>

#include "module/game_assembly_imports.h"
#include "module/module_exports.h"

namespace {

struct StaleFactory : Windows::Foundation::IActivationFactory {
  Platform::ObjectRef ActivateInstance() override { return nullptr; }
};

TEST(MissingImport, BindingFailsNamingTheImportAndTheForwardsAnswerTheFailure) {
  try {
    Corvane::GameAssembly();
    FAIL() << "bound a GameAssembly without DllCanUnloadNow: is the stand-in on LD_LIBRARY_PATH?";
  } catch (const Platform::Exception& e) {
    EXPECT_EQ(e.HResult(), Corvane::kImportNotFound);
    EXPECT_NE(std::string(e.what()).find("has no DllCanUnloadNow"), std::string::npos) << e.what();
  }

  EXPECT_EQ(Corvane::ForwardDllCanUnloadNow(), Corvane::kImportNotFound);
  const Platform::String id = u"Corvane.MainPage";
  std::shared_ptr<Windows::Foundation::IActivationFactory> factory =
      std::make_shared<StaleFactory>();
  EXPECT_EQ(Corvane::ForwardDllGetActivationFactory(&id, &factory), Corvane::kImportNotFound);
  EXPECT_EQ(factory, nullptr) << "no stale factory is left in the output";
  EXPECT_EQ(Corvane::ForwardDllGetActivationFactory(nullptr, nullptr), Corvane::kImportNotFound);
}

}  // namespace
