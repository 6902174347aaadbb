// The activation factories of the host's two runtime classes and the
// registration table that makes them.
#include <gtest/gtest.h>

#include <typeinfo>

#include "module/activation_factories.h"
#include "module/module.h"
#include "support/app_fixture.h"
#include "support/xaml_type_test_support.h"
#include "xaml/xaml_meta_data_provider.h"

namespace {

using namespace corvane_test;
using Corvane::InterfaceId;
using Corvane::Corvane_XamlTypeInfo::XamlMetaDataProvider;
using Windows::Foundation::IActivationFactory;
using Windows::Foundation::TrustLevel;

std::shared_ptr<IActivationFactory> MakeFactory(const Corvane::RegistrationEntry& entry) {
  Platform::ObjectRef object;
  EXPECT_EQ(entry.createFactory(typeid(IActivationFactory), &object), S_OK);
  return Platform::safe_cast<IActivationFactory>(object);
}

// Runs with the application fixture: pages are built on the UI thread of a
// running application.
class ActivationFactories : public CorvaneTest::AppFixture {};

TEST_F(ActivationFactories, TableHoldsTheTwoClassesInOrder) {
  auto module = EnsureModule();
  ASSERT_EQ(module->GetLastEntry() - module->GetFirstEntry(), 2);
  const auto& page = module->GetFirstEntry()[0];
  const auto& metadata = module->GetFirstEntry()[1];
  EXPECT_EQ(Platform::String(page.activatableClassId()), u"Corvane.MainPage");
  EXPECT_EQ(Platform::String(metadata.activatableClassId()),
            u"Corvane.Corvane_XamlTypeInfo.XamlMetaDataProvider");
  EXPECT_EQ(page.serverName, nullptr);
  EXPECT_EQ(metadata.serverName, nullptr);

  auto pageFactory =
      std::dynamic_pointer_cast<Corvane::__MainPageActivationFactory>(MakeFactory(page));
  ASSERT_NE(pageFactory, nullptr);
  EXPECT_EQ(pageFactory->GetRuntimeClassName(), u"Corvane.__MainPageActivationFactory");
  EXPECT_EQ(pageFactory->GetTrustLevel(), TrustLevel::BaseTrust);
  EXPECT_EQ(pageFactory->GetIids(), std::vector<InterfaceId>{typeid(IActivationFactory)});

  auto metadataFactory = std::dynamic_pointer_cast<
      Corvane::Corvane_XamlTypeInfo::__XamlMetaDataProviderActivationFactory>(
      MakeFactory(metadata));
  ASSERT_NE(metadataFactory, nullptr);
  EXPECT_EQ(metadataFactory->GetRuntimeClassName(),
            u"Corvane.Corvane_XamlTypeInfo.__XamlMetaDataProviderActivationFactory");
  EXPECT_EQ(metadataFactory->GetTrustLevel(), TrustLevel::BaseTrust);
  EXPECT_EQ(metadataFactory->GetIids(), std::vector<InterfaceId>{typeid(IActivationFactory)});
}

TEST_F(ActivationFactories, WrongInterfaceRequestLeavesNothingBehind) {
  auto module = EnsureModule();
  for (auto* entry = module->GetFirstEntry(); entry != module->GetLastEntry(); ++entry) {
    const auto before = module->GetObjectCount();
    Platform::ObjectRef object = NewObject();
    EXPECT_EQ(entry->createFactory(typeid(Windows::UI::Xaml::Markup::IXamlType), &object),
              E_NOINTERFACE);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(module->GetObjectCount(), before);

    EXPECT_EQ(entry->createFactory(typeid(Platform::Object), &object), S_OK);
    EXPECT_NE(std::dynamic_pointer_cast<IActivationFactory>(object), nullptr);
    EXPECT_EQ(entry->createFactory(typeid(IActivationFactory), nullptr), E_POINTER);
  }
}

TEST_F(ActivationFactories, EachActivationMakesANewObject) {
  auto module = EnsureModule();
  StartApp();
  auto pageFactory = MakeFactory(module->GetFirstEntry()[0]);
  auto firstPage = pageFactory->ActivateInstance();
  auto secondPage = pageFactory->ActivateInstance();
  ASSERT_NE(firstPage, nullptr);
  EXPECT_NE(firstPage, secondPage);
  EXPECT_EQ(firstPage->GetRuntimeClassName(), u"Corvane.MainPage");

  auto metadataFactory = MakeFactory(module->GetFirstEntry()[1]);
  auto first = Platform::safe_cast<XamlMetaDataProvider>(metadataFactory->ActivateInstance());
  auto second = Platform::safe_cast<XamlMetaDataProvider>(metadataFactory->ActivateInstance());
  EXPECT_NE(first, second);
  EXPECT_EQ(first->Provider(), nullptr);  // no provider until its first question
  first->GetXamlType(Platform::String(u"Corvane.MainPage"));
  second->GetXamlType(Platform::String(u"Corvane.MainPage"));
  EXPECT_NE(first->Provider(), second->Provider());
}

}  // namespace
