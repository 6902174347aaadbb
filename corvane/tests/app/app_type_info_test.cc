// The application object as the XAML runtime's metadata provider: the frame's
// navigation resolves "Corvane.MainPage" through the application's own type
// table, and the host's objects leave the live-object count as they found it.
#include <gtest/gtest.h>

#include "module/module.h"
#include "page/main_page.h"
#include "platform/page.h"
#include "platform/window.h"
#include "support/app_fixture.h"
#include "xaml/xaml_type_info_provider.h"

namespace {

using namespace Windows::ApplicationModel::Activation;
using Windows::UI::Xaml::Interop::TypeKind;
using Windows::UI::Xaml::Interop::TypeName;

std::shared_ptr<LaunchActivatedEventArgs> Launch() {
  return Platform::ref_new<LaunchActivatedEventArgs>(u"", Platform::ref_new<SplashScreen>());
}

class AppTypeInfo : public CorvaneTest::AppFixture {
 protected:
  void SetUp() override {
    AppFixture::SetUp();
    module = Corvane::Module::Create();
  }
  std::shared_ptr<Corvane::Module> module;
};

TEST_F(AppTypeInfo, FirstLaunchNavigatesThroughTheApplicationsTypeTable) {
  auto app = StartApp();
  EXPECT_EQ(app->TypeInfoProvider(), nullptr) << "no type question before the navigation";
  Deliver(Launch());
  ASSERT_FALSE(Platform::StandIn::ActivationFailure())
      << Platform::StandIn::ActivationFailure()->message;

  // The navigation asked the application's provider, which built the page's
  // record from the table and resolved its base type on the way.
  auto provider = app->TypeInfoProvider();
  ASSERT_NE(provider, nullptr);
  EXPECT_EQ(provider->CachedTypeNames(),
            (std::vector<Platform::String>{u"Corvane.MainPage", u"Windows.UI.Xaml.Controls.Page"}));
  auto frame = Platform::try_cast<Windows::UI::Xaml::Controls::Frame>(
      Windows::UI::Xaml::Window::Current()->Content());
  ASSERT_NE(frame, nullptr);
  EXPECT_NE(Platform::try_cast<Corvane::MainPage>(frame->Content()), nullptr);

  // The application answers as the table gives it, by name or TypeName.
  auto page = app->GetXamlType(Platform::String(u"Corvane.MainPage"));
  ASSERT_NE(page, nullptr);
  EXPECT_EQ(page->UnderlyingType().Kind, TypeKind::Custom);
  EXPECT_EQ(page->BaseType()->FullName(), u"Windows.UI.Xaml.Controls.Page");
  for (auto kind : {TypeKind::Primitive, TypeKind::Metadata, TypeKind::Custom}) {
    EXPECT_EQ(app->GetXamlType(TypeName{u"Corvane.MainPage", kind}), page);
  }
  EXPECT_EQ(app->GetXamlType(Platform::String(u"corvane.mainpage")), nullptr);
  EXPECT_TRUE(app->GetXmlnsDefinitions().empty());
  EXPECT_EQ(app->TypeInfoProvider(), provider) << "the provider is kept";
}

TEST_F(AppTypeInfo, LiveObjectCountReturnsToItsStartWhenTheApplicationEnds) {
  const auto start = module->GetObjectCount();
  {
    auto app = StartApp();
    EXPECT_EQ(module->GetObjectCount(), start + 1) << "the application counts itself";
    Deliver(Launch());
    ASSERT_FALSE(Platform::StandIn::ActivationFailure())
        << Platform::StandIn::ActivationFailure()->message;
    // At least the application, its provider and the page; the records of
    // the navigation are gone again.
    EXPECT_GE(module->GetObjectCount(), start + 3);
    auto record = app->GetXamlType(Platform::String(u"Corvane.MainPage"));
    EXPECT_GT(module->GetObjectCount(), start + 3);
  }
  Platform::StandIn::Reset();
  EXPECT_EQ(module->GetObjectCount(), start);
}

}  // namespace
