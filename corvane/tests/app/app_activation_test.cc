#include <gtest/gtest.h>

#include <algorithm>

#include "app/title_bridge.h"
#include "platform/activation_registry.h"
#include "platform/controls.h"
#include "platform/page.h"
#include "platform/window.h"
#include "support/app_fixture.h"

namespace {

using namespace Windows::ApplicationModel::Activation;
using Windows::UI::Xaml::Window;

std::shared_ptr<LaunchActivatedEventArgs> Launch(
    const char16_t* arguments,
    std::shared_ptr<SplashScreen> splash = Platform::ref_new<SplashScreen>()) {
  return Platform::ref_new<LaunchActivatedEventArgs>(arguments, splash);
}

std::shared_ptr<FileActivatedEventArgs> Files(std::vector<Platform::String> paths,
                                              std::shared_ptr<SplashScreen> splash) {
  std::vector<std::shared_ptr<Windows::Storage::IStorageItem>> items;
  for (auto& path : paths) items.push_back(Platform::ref_new<Windows::Storage::StorageFile>(path));
  return Platform::ref_new<FileActivatedEventArgs>(items, splash);
}

std::size_t Count(const std::vector<std::string>& names, const std::string& name) {
  return static_cast<std::size_t>(std::count(names.begin(), names.end(), name));
}

class Activation : public CorvaneTest::AppFixture {};

TEST_F(Activation, EachKindBecomesThePlayersArgumentString) {
  auto app = StartApp();
  auto launchSplash = Platform::ref_new<SplashScreen>();
  Deliver(Launch(u"", launchSplash));
  EXPECT_EQ(app->GetSplashScreen(), launchSplash);

  auto protocolSplash = Platform::ref_new<SplashScreen>();
  Deliver(Platform::ref_new<ProtocolActivatedEventArgs>(
      Platform::ref_new<Windows::Foundation::Uri>(u"corvane://open/level?id=5&mode=hard%20x#start"),
      protocolSplash));
  EXPECT_EQ(app->GetSplashScreen(), protocolSplash);

  auto fileSplash = Platform::ref_new<SplashScreen>();
  Deliver(Files({u"C:\\a.txt", u"D:\\b c.txt"}, fileSplash));
  EXPECT_EQ(app->GetSplashScreen(), fileSplash);
  Deliver(Files({}, fileSplash));
  Deliver(Files({u"C:\\semi;colon.txt"}, fileSplash));

  Deliver(Platform::ref_new<ShareTargetActivatedEventArgs>(Platform::ref_new<SplashScreen>()));
  EXPECT_EQ(app->GetSplashScreen(), fileSplash)
      << "another kind leaves the splash screen as it was";
  Deliver(Launch(u"-level 5 \"quoted\""));

  EXPECT_EQ(Values("player.arguments"),
            (std::vector<std::string>{"", "Uri=corvane://open/level?id=5&mode=hard%20x#start",
                                      "File=C:\\a.txt;D:\\b c.txt", "File=",
                                      "File=C:\\semi;colon.txt", "", "-level 5 \"quoted\""}));
  EXPECT_FALSE(Platform::StandIn::ActivationFailure());
}

TEST_F(Activation, FirstLaunchBuildsFrameAndPageAndActivatesTheWindowTwice) {
  StartApp();
  Deliver(Launch(u"first"));
  const auto names = EventNames();
  const auto navigated = std::find(names.begin(), names.end(), "frame.navigated");
  ASSERT_NE(navigated, names.end());
  EXPECT_EQ(std::count(names.begin(), navigated, "window.activated"), 1);
  EXPECT_EQ(std::count(navigated, names.end(), "window.activated"), 1);
  EXPECT_LT(std::find(names.begin(), names.end(), "player.arguments") - names.begin(),
            std::find(names.begin(), names.end(), "window.content") - names.begin())
      << "the player gets its arguments before any frame exists";
  EXPECT_EQ(Platform::Trace::EventsNamed("frame.navigated")[0]["page"], "Corvane.MainPage");
  auto frame = Platform::try_cast<Windows::UI::Xaml::Controls::Frame>(Window::Current()->Content());
  ASSERT_NE(frame, nullptr);
  EXPECT_EQ(frame->Content()->GetRuntimeClassName(), u"Corvane.MainPage");
  EXPECT_EQ(CorvaneTest::Registrations(),
            std::vector<Corvane::HeaderUpdateCallbackFunction>{&Corvane::HeaderUpdateCallback});
  EXPECT_EQ(Corvane::CachedView(),
            Windows::UI::ViewManagement::ApplicationView::GetForCurrentView());
  EXPECT_TRUE(Corvane::CachedView()->SuppressSystemOverlays());
}

TEST_F(Activation, LaterActivationsReuseTheFrameButReachThePlayerAndRegisterAgain) {
  StartApp();
  Deliver(Launch(u"first"));
  auto frame = Window::Current()->Content();
  Deliver(Launch(u"second"));
  Deliver(Platform::ref_new<ProtocolActivatedEventArgs>(
      Platform::ref_new<Windows::Foundation::Uri>(u"x:y"), nullptr));
  const auto names = EventNames();
  EXPECT_EQ(Window::Current()->Content(), frame);
  EXPECT_EQ(Count(names, "window.content"), 1u);
  EXPECT_EQ(Count(names, "frame.navigated"), 1u);
  EXPECT_EQ(Count(names, "window.activated"), 4u);
  EXPECT_EQ(Values("player.arguments"), (std::vector<std::string>{"first", "second", "Uri=x:y"}));
  EXPECT_EQ(CorvaneTest::Registrations(),
            std::vector<Corvane::HeaderUpdateCallbackFunction>(3, &Corvane::HeaderUpdateCallback));
}

TEST_F(Activation, AReadyPlayerOrForeignContentGetsNoNewFrame) {
  StartApp();
  Deliver(Launch(u"first"));
  // The content is gone but the player is ready: nothing is built again.
  Window::Current()->Content(nullptr);
  Platform::Trace::Clear();
  Deliver(Launch(u"again"));
  EXPECT_EQ(Window::Current()->Content(), nullptr);
  EXPECT_EQ(EventNames(), (std::vector<std::string>{"view.suppresssystemoverlays",
                                                    "player.arguments", "window.activated"}));
  // Content that is not a frame is an invalid cast, after the hand-over.
  Window::Current()->Content(Platform::ref_new<Windows::UI::Xaml::Controls::Grid>());
  Deliver(Launch(u"third"));
  auto failure = Platform::StandIn::ActivationFailure();
  ASSERT_TRUE(failure);
  EXPECT_EQ(failure->result, E_NOINTERFACE);
  EXPECT_EQ(Values("player.arguments").back(), "third");
}

TEST_F(Activation, PreferencesAreSetBeforeThePlayerIsCreated) {
  Platform::Trace::Clear();
  StartApp();
  const auto events = Platform::Trace::Events();
  ASSERT_EQ(events.size(), 3u);
  EXPECT_EQ(events[0]["event"], "display.autorotationpreferences");
  EXPECT_EQ(events[0]["value"], 5);
  EXPECT_EQ(events[1]["event"], "view.preferredlaunchwindowingmode");
  EXPECT_EQ(events[1]["value"], 2);
  EXPECT_EQ(events[2]["event"], "player.created");
  EXPECT_EQ(Windows::UI::ViewManagement::ApplicationView::PreferredLaunchWindowingMode(),
            Windows::UI::ViewManagement::ApplicationViewWindowingMode::FullScreen);
}

TEST_F(Activation, AMissingPlayerMakesTheApplicationFail) {
  Platform::UnregisterActivationFactory(u"EnginePlayer.AppCallbacks");
  EXPECT_THROW(StartApp(), Platform::ClassNotRegisteredException);
  EnginePlayer::RegisterAppCallbacks();
}

}  // namespace
