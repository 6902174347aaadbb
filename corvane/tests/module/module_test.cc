// The module object: live-object count, teardown, start-up modes.
#include <gtest/gtest.h>

#include "module/activation_factories.h"
#include "module/module.h"
#include "module/module_startup.h"
#include "platform/application.h"
#include "platform/runtime_data.h"
#include "support/xaml_type_test_support.h"
#include "xaml/xaml_meta_data_provider.h"
#include "xaml/xaml_type_info_provider.h"

namespace {

using namespace corvane_test;
using Corvane::Module;
using Windows::Foundation::IActivationFactory;

TEST(Module, LiveObjectCountReturnsToItsStartAfterRelease) {
  auto module = EnsureModule();
  const auto start = module->GetObjectCount();
  {
    auto provider = Platform::ref_new<XamlTypeInfo::InfoProvider::XamlTypeInfoProvider>();
    auto page = provider->FindTypeByName(u"Corvane.MainPage");  // page record + base record
    auto control = provider->FindTypeByName(u"Windows.UI.Xaml.Controls.UserControl");
    EXPECT_EQ(module->GetObjectCount(), start + 4);
    auto metadata = Platform::ref_new<Corvane::Corvane_XamlTypeInfo::XamlMetaDataProvider>();
    auto base = metadata->GetXamlType(Platform::String(u"Windows.UI.Xaml.Controls.Page"));
    EXPECT_EQ(module->GetObjectCount(), start + 7);
    Platform::ObjectRef factory;
    ASSERT_EQ(module->GetFirstEntry()->createFactory(typeid(IActivationFactory), &factory), S_OK);
    EXPECT_EQ(module->GetObjectCount(), start + 8);
    provider.reset();
    EXPECT_EQ(module->GetObjectCount(), start + 8);  // its records still hold it
    EXPECT_FALSE(module->Terminate());
  }
  EXPECT_EQ(module->GetObjectCount(), start);
}

TEST(Module, ObjectOutlivingItsModuleDoesNotTouchTheNextOne) {
  EnsureModule();
  auto provider = Platform::ref_new<XamlTypeInfo::InfoProvider::XamlTypeInfoProvider>();
  EXPECT_FALSE(Module::Destroy());  // the provider is still alive
  EXPECT_EQ(Module::Current(), nullptr);
  auto next = Module::Create();
  const auto start = next->GetObjectCount();
  provider.reset();
  EXPECT_EQ(next->GetObjectCount(), start);
}

TEST(Module, TeardownReleasesCachedFactoriesOfMatchingServers) {
  auto module = EnsureModule();
  const auto start = module->GetObjectCount();
  auto* entry = module->GetFirstEntry();
  Platform::ObjectRef factory;
  ASSERT_EQ(entry->createFactory(typeid(IActivationFactory), &factory), S_OK);
  std::weak_ptr<Platform::Object> watch = factory;
  {
    std::lock_guard<std::mutex> hold(module->GetLock());
    entry->cache->factory = std::move(factory);
  }
  // Entries name no server, so a teardown for a named server leaves them.
  module->Terminate(u"Corvane.OtherServer");
  EXPECT_FALSE(watch.expired());
  EXPECT_EQ(module->Terminate(), start == 0);
  EXPECT_TRUE(watch.expired());
  EXPECT_EQ(entry->cache->factory, nullptr);
  EXPECT_EQ(module->GetObjectCount(), start);
}

// One test, in order: the start-up mode is process-wide and set only once
// per real process.
TEST(Module, StartUpInitialisesTheRuntimeForExecutableOrDesigner) {
  using Platform::Details::RecordedRuntimeData;
  Module::Destroy();
  ASSERT_EQ(Corvane::StartupMode(), Corvane::StartupModeNone);

  Corvane::StartExecutable();
  EXPECT_EQ(Corvane::StartupMode(), Corvane::StartupModeExecutable);
  EXPECT_EQ(RecordedRuntimeData().lastInitializeValue, 2);
  ASSERT_NE(Module::Current(), nullptr);
  EXPECT_TRUE(Corvane::EndProcess());
  EXPECT_EQ(RecordedRuntimeData().lastUninitializeValue, 2);
  EXPECT_EQ(Module::Current(), nullptr);

  const int initialisedBefore = RecordedRuntimeData().initializeCalls;
  EXPECT_TRUE(VSDesignerDllMain(nullptr, Corvane::ProcessAttachReason, nullptr));
  EXPECT_EQ(RecordedRuntimeData().initializeCalls, initialisedBefore + 1);
  EXPECT_EQ(RecordedRuntimeData().lastInitializeValue, 0);
  EXPECT_EQ(Corvane::StartupMode(), Corvane::StartupModeNone);
  ASSERT_NE(Module::Current(), nullptr);
  EXPECT_EQ(Windows::UI::Xaml::Application::Current(), nullptr);  // no application started
  EXPECT_TRUE(VSDesignerDllMain(nullptr, Corvane::ThreadAttachReason, nullptr));
  EXPECT_EQ(RecordedRuntimeData().initializeCalls, initialisedBefore + 1);

  EXPECT_TRUE(VSDesignerDllMain(nullptr, Corvane::ProcessDetachReason, nullptr));
  EXPECT_EQ(RecordedRuntimeData().lastUninitializeValue, 0);
  EXPECT_EQ(Module::Current(), nullptr);
}

}  // namespace
