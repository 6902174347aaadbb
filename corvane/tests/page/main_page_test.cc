// Corvane::MainPage: markup connections, the player hand-over, the extended
// splash screen (placement, size changes, colour, removal) and destruction.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <string>
#include <vector>

#include "module/module.h"
#include "platform/activation_registry.h"
#include "platform/controls.h"
#include "support/app_fixture.h"

namespace {

using namespace Windows::ApplicationModel::Activation;
using Corvane::MainPage;
using EnginePlayer::AppCallbacks;
using Windows::UI::Xaml::FrameworkElement;
using Windows::UI::Xaml::Window;
using Windows::UI::Xaml::Controls::Canvas;
using Windows::UI::Xaml::Controls::Frame;
using Windows::UI::Xaml::Controls::Image;
using Windows::UI::Xaml::Controls::SwapChainPanel;
using Windows::UI::Xaml::Interop::TypeName;

class MainPageTest : public CorvaneTest::AppFixture {};

std::vector<double> PlacementOf(const std::shared_ptr<FrameworkElement>& image) {
  return {Canvas::GetLeft(image), Canvas::GetTop(image), image->Width(), image->Height()};
}

std::vector<std::string> SplashEvents(const std::string& name, const char* field = nullptr) {
  std::vector<std::string> values;
  for (auto& event : Platform::Trace::EventsNamed(name)) {
    if (event.value("element", "") == "splashContainer")
      values.push_back(field ? event.value(field, "") : name);
  }
  return values;
}

std::vector<std::string> SplashColors() { return SplashEvents("panel.background", "color"); }
std::size_t SplashRemovals() { return SplashEvents("panel.childremoved").size(); }

std::string BrushColor(const std::shared_ptr<MainPage>& page) {
  auto brush = Platform::safe_cast<Windows::UI::Xaml::Media::SolidColorBrush>(
      page->SplashContainer()->Background());
  return brush ? Windows::UI::Xaml::FormatColor(brush->Color()) : "none";
}

std::shared_ptr<LaunchActivatedEventArgs> Launch() {
  return Platform::ref_new<LaunchActivatedEventArgs>(u"", Platform::ref_new<SplashScreen>());
}

TEST(MainPageConnect, StoresOnlyItsThreeElementsAndAlwaysMarksTheContentLoaded) {
  auto page = std::make_shared<MainPage>();  // without the construction steps
  auto panel = Platform::ref_new<SwapChainPanel>();
  auto canvas = Platform::ref_new<Canvas>();
  auto image = Platform::ref_new<Image>();
  EXPECT_FALSE(page->ContentLoaded());
  page->Connect(5, panel);
  EXPECT_TRUE(page->ContentLoaded());

  page->Connect(2, panel);
  page->Connect(3, canvas);
  page->Connect(4, image);
  for (int id : {0, 1, 5, -1, INT_MAX}) page->Connect(id, Platform::ref_new<SwapChainPanel>());
  EXPECT_EQ(page->RenderPanel(), panel);
  EXPECT_EQ(page->SplashContainer(), canvas);
  EXPECT_EQ(page->SplashImage(), image);

  // A target of the wrong type is an invalid cast that leaves the field.
  EXPECT_THROW(page->Connect(2, canvas), Platform::InvalidCastException);
  EXPECT_THROW(page->Connect(3, image), Platform::InvalidCastException);
  EXPECT_THROW(page->Connect(4, Platform::ref_new<SplashScreen>()), Platform::InvalidCastException);
  EXPECT_EQ(page->RenderPanel(), panel);
  EXPECT_EQ(page->SplashContainer(), canvas);
  EXPECT_EQ(page->SplashImage(), image);

  // Any panel serves as the container and any framework element as the
  // image; the element held before is released, null stores null.
  std::weak_ptr<Image> previous = image;
  image.reset();
  page->Connect(4, Platform::ref_new<Canvas>());
  EXPECT_TRUE(previous.expired());
  page->Connect(3, Platform::ref_new<SwapChainPanel>());
  page->Connect(2, nullptr);
  EXPECT_EQ(page->RenderPanel(), nullptr);
  EXPECT_EQ(page->GetBindingConnector(2, panel), nullptr);
}

TEST_F(MainPageTest, MarkupIsLoadedOnceAndAFailedLoadIsNotRetried) {
  auto page = std::make_shared<MainPage>();
  page->LoadPageMarkup();
  auto panel = page->RenderPanel();
  ASSERT_NE(panel, nullptr);
  EXPECT_EQ(page->Content(), panel);
  EXPECT_EQ(page->SplashContainer()->Parent(), panel);
  EXPECT_EQ(page->SplashImage()->Parent(), page->SplashContainer());
  page->LoadPageMarkup();
  EXPECT_EQ(page->RenderPanel(), panel);
  EXPECT_EQ(page->Content(), panel);

  auto failing = std::make_shared<MainPage>();
  package.Remove("MainPage.xaml");
  EXPECT_THROW(failing->LoadPageMarkup(), Platform::Exception);
  package.Write("MainPage.xaml", "<Page><SwapChainPanel x:ConnectionId=\"2\"/></Page>");
  failing->LoadPageMarkup();
  EXPECT_EQ(failing->RenderPanel(), nullptr);
}

TEST_F(MainPageTest, ConstructionHandsOverPanelAndWindowAndPlacesTheImageWhereTheSplashScreenIs) {
  auto page = LaunchPage();
  ASSERT_NE(page, nullptr);
  auto player = AppCallbacks::CurrentPlayer();
  EXPECT_EQ(page->NavigationCacheMode(),
            Windows::UI::Xaml::Navigation::NavigationCacheMode::Required);
  EXPECT_TRUE(player->GetPlayerReady());
  auto names = EventNames();
  const auto panelAttached = std::find(names.begin(), names.end(), "player.panelattached");
  const auto windowAttached = std::find(names.begin(), names.end(), "player.windowattached");
  const auto completed = std::find(names.begin(), names.end(), "player.attachcompleted");
  EXPECT_TRUE(panelAttached < windowAttached && windowAttached < completed &&
              completed != names.end());

  // 620x300 centred in the 1280x720 window, then in the 1920x1080 one when
  // the full-screen launch takes effect; offsets boxed single-precision.
  auto image = page->SplashImage();
  EXPECT_EQ(PlacementOf(image), (std::vector<double>{650, 390, 620, 300}));
  for (auto property : {Canvas::LeftProperty(), Canvas::TopProperty()}) {
    auto boxed = image->GetValue(property);
    ASSERT_NE(Platform::try_cast<Windows::Foundation::IReference<float>>(boxed), nullptr);
    EXPECT_EQ(boxed->GetRuntimeClassName(), u"Windows.Foundation.IReference`1<Single>");
  }
  auto arranged = Platform::Trace::EventsNamed("element.arranged");
  ASSERT_EQ(arranged.size(), 2u);
  EXPECT_EQ(arranged[0]["element"], "splashImage");
  EXPECT_EQ(arranged[0]["x"], 330.0);
  EXPECT_EQ(arranged[0]["height"], 300.0);
  EXPECT_EQ(arranged[1]["x"], 650.0);
  EXPECT_EQ(arranged[1]["y"], 390.0);
  names = EventNames();
  const auto resized = std::find(names.begin(), names.end(), "window.sizechanged");
  EXPECT_TRUE(std::find(names.begin(), names.end(), "element.arranged") < resized &&
              resized < std::find(names.rbegin(), names.rend(), "element.arranged").base());
}

TEST_F(MainPageTest, SizeChangesMoveTheImageUntilRenderingStartsAndASecondStartRemovesNothing) {
  auto page = LaunchPage();
  auto image = page->SplashImage();
  Platform::StandIn::ResizeWindow(1001, 601);
  EXPECT_EQ(PlacementOf(image), (std::vector<double>{190.5, 150.5, 620, 300})) << "no rounding";

  auto player = AppCallbacks::CurrentPlayer();
  EXPECT_EQ(player->RaiseRenderingStarted(), S_OK);
  EXPECT_EQ(SplashRemovals(), 1u);
  unsigned index = 0;
  EXPECT_FALSE(page->RenderPanel()->Children()->IndexOf(page->SplashContainer(), index));
  EXPECT_EQ(page->SizeChangedToken().Value, 0);
  EXPECT_EQ(Window::Current()->SizeChanged.Count(), 0u);
  const auto renderingToken = page->RenderingStartedToken().Value;
  EXPECT_NE(renderingToken, 0);
  EXPECT_EQ(player->RenderingStartedSubscriptions(), 1u)
      << "the rendering-started subscription stays";

  Platform::StandIn::ResizeWindow(800, 600);
  EXPECT_EQ(PlacementOf(image), (std::vector<double>{190.5, 150.5, 620, 300}));

  EXPECT_EQ(player->RaiseRenderingStarted(), S_OK);
  EXPECT_EQ(SplashRemovals(), 1u);
  EXPECT_EQ(page->RenderingStartedToken().Value, renderingToken);
  EXPECT_EQ(page->SizeChangedToken().Value, 0);
  EXPECT_NE(page->CurrentSplashScreen(), nullptr);
}

TEST_F(MainPageTest, WithoutASplashScreenTheMarkupPlacementStaysUntilANavigationBringsOne) {
  StartApp();
  Deliver(Platform::ref_new<ShareTargetActivatedEventArgs>(Platform::ref_new<SplashScreen>()));
  auto page = ShownPage();
  ASSERT_NE(page, nullptr);
  EXPECT_EQ(page->CurrentSplashScreen(), nullptr);
  auto image = page->SplashImage();
  EXPECT_EQ(image->GetValue(Canvas::LeftProperty()), nullptr);
  Platform::StandIn::ResizeWindow(1000, 500);
  EXPECT_EQ(PlacementOf(image), (std::vector<double>{0, 0, 620, 300}));

  auto frame = Platform::safe_cast<Frame>(Window::Current()->Content());
  const TypeName type{u"Corvane.MainPage", Windows::UI::Xaml::Interop::TypeKind::Custom};
  auto splash = Platform::ref_new<SplashScreen>();
  frame->Navigate(type, splash);
  EXPECT_EQ(frame->Content(), page);
  EXPECT_EQ(page->CurrentSplashScreen(), splash);
  EXPECT_EQ(PlacementOf(image), (std::vector<double>{190, 100, 620, 300}));

  // Without a parameter the page keeps its splash screen, so the image
  // still follows the window.
  frame->Navigate(type);
  EXPECT_EQ(page->CurrentSplashScreen(), splash);
  Platform::StandIn::ResizeWindow(1280, 720);
  EXPECT_EQ(PlacementOf(image), (std::vector<double>{330, 210, 620, 300}));

  EXPECT_THROW(frame->Navigate(type, Platform::ref_new<Windows::Foundation::Uri>(u"x:y")),
               Platform::InvalidCastException);
  EXPECT_EQ(page->CurrentSplashScreen(), splash);
}

TEST_F(MainPageTest, TheManifestColourPaintsTheContainerAndBadValuesLeaveTheMarkupBackground) {
  const std::vector<std::pair<const char*, const char*>> cases = {
      {"#1E3A5F", "#FF1E3A5F"},
      {"transparent", "#00000000"},
      {"#7F112233", "#FF112233"},
      {"white", nullptr},
      {"", nullptr},
      {"#80FF8000", nullptr},  // out of range: the work item ends with the failure
      {"#XYZ", nullptr},       // invalid argument: likewise
      {"missing", nullptr},
  };
  for (auto& [value, expected] : cases) {
    if (std::string(value) == "missing") {
      package.Remove("AppxManifest.xml");
    } else {
      package.WriteManifest(value);
    }
    auto page = LaunchPage();
    ASSERT_NE(page, nullptr) << value;
    EXPECT_EQ(SplashColors(),
              expected ? std::vector<std::string>{expected} : std::vector<std::string>{})
        << value;
    EXPECT_EQ(BrushColor(page), expected ? expected : "#FF202020") << value;
    EXPECT_FALSE(Platform::StandIn::ActivationFailure()) << value;
    Platform::StandIn::Reset();
  }
}

TEST_F(MainPageTest, AColourArrivingAfterRenderingStartedStillPaintsTheRemovedContainer) {
  package.WriteManifest("#FF8000");
  StartApp();
  Platform::StandIn::Activate(Launch());
  ASSERT_TRUE(Platform::StandIn::RunOne());  // the activation: page built, colour read started
  auto page = ShownPage();
  ASSERT_NE(page, nullptr);
  EXPECT_EQ(AppCallbacks::CurrentPlayer()->RaiseRenderingStarted(), S_OK);
  EXPECT_EQ(SplashRemovals(), 1u);
  EXPECT_TRUE(SplashColors().empty()) << "the colour reaches the page only through the dispatcher";

  Platform::StandIn::RunUntilIdle();
  EXPECT_EQ(SplashColors(), std::vector<std::string>{"#FFFF8000"});
  EXPECT_EQ(BrushColor(page), "#FFFF8000");
  EXPECT_EQ(page->SplashContainer()->Parent(), nullptr);
}

TEST_F(MainPageTest, DestructionRemovesOnlyTheSubscriptionsStillRegistered) {
  auto module = Corvane::Module::Create();

  // Before rendering starts the window's size handler keeps the page; when
  // the window drops it, the page ends its player subscription.
  StartApp();
  Deliver(Launch());
  std::weak_ptr<MainPage> page = ShownPage();
  auto firstPlayer = AppCallbacks::CurrentPlayer();
  Window::Current()->Content(nullptr);
  EXPECT_FALSE(page.expired());
  Platform::StandIn::Reset();
  EXPECT_TRUE(page.expired());
  EXPECT_EQ(firstPlayer->RenderingStartedSubscriptions(), 0u);

  // After rendering started only the player subscription is left to remove.
  StartApp();
  Deliver(Launch());
  page = ShownPage();
  auto player = AppCallbacks::CurrentPlayer();
  player->RaiseRenderingStarted();
  EXPECT_EQ(Window::Current()->SizeChanged.Count(), 0u);
  const auto count = module->GetObjectCount();
  Window::Current()->Content(nullptr);
  EXPECT_TRUE(page.expired());
  EXPECT_EQ(player->RenderingStartedSubscriptions(), 0u);
  EXPECT_EQ(module->GetObjectCount(), count - 2)
      << "the page and its rendering-started delegate counted out";
}

TEST_F(MainPageTest, TheRenderingStartedDelegateHoldsThePageWeakly) {
  auto page = LaunchPage();
  std::weak_ptr<MainPage> weak = page;
  auto first = AppCallbacks::CurrentPlayer();
  EXPECT_EQ(first->RaiseRenderingStarted(), S_OK);

  // Another player becomes CurrentPlayer, so the page's destruction cannot
  // reach the first player's subscription.
  auto second =
      Platform::safe_cast<AppCallbacks>(Platform::ActivateInstance(u"EnginePlayer.AppCallbacks"));
  page.reset();
  Window::Current()->Content(nullptr);
  ASSERT_TRUE(weak.expired()) << "the player's subscription does not keep the page alive";
  ASSERT_EQ(first->RenderingStartedSubscriptions(), 1u);

  const auto recorded = Platform::Trace::Events().size();
  EXPECT_EQ(first->RaiseRenderingStarted(), RPC_E_DISCONNECTED);
  EXPECT_EQ(Platform::Trace::Events().size(), recorded);
}

TEST_F(MainPageTest, ConstructionFailsCleanlyOnMissingOrBadMarkup) {
  const std::vector<std::pair<const char*, std::string>> cases = {
      {nullptr, "cannot read markup ms-appx:///MainPage.xaml"},
      {"<Page><SwapChainPanel></Page>", "ms-appx:///MainPage.xaml: "},
      {"<Page><SwapChainPanel x:ConnectionId=\"2\"><Canvas "
       "x:ConnectionId=\"3\"/></SwapChainPanel></Page>",
       "declares no splashImage (connection 4)"},
      {"<Page><Canvas x:ConnectionId=\"2\"/></Page>",
       "connection 2 (renderPanel) must be a SwapChainPanel"},
  };
  for (auto& [markup, message] : cases) {
    if (markup) {
      package.Write("MainPage.xaml", markup);
    } else {
      package.Remove("MainPage.xaml");
    }
    StartApp();
    Deliver(Launch());
    const auto failure = Platform::StandIn::ActivationFailure();
    ASSERT_TRUE(failure) << message;
    EXPECT_NE(failure->message.find(message), std::string::npos) << failure->message;
    EXPECT_EQ(ShownPage(), nullptr);
    auto player = AppCallbacks::CurrentPlayer();
    EXPECT_FALSE(player->GetPlayerReady());
    EXPECT_EQ(player->RenderingStartedSubscriptions(), 0u);
    Platform::StandIn::Reset();
  }
}

}  // namespace
