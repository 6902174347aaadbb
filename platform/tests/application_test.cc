#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "platform/activation_registry.h"
#include "platform/dispatcher.h"
#include "platform/thread_pool.h"
#include "stand_in_test_support.h"

namespace {

using namespace Windows::ApplicationModel::Activation;
using StandInTest::RecordingApp;
using Windows::UI::Xaml::Application;

class ApplicationModel : public StandInTest::Fixture {};

TEST_F(ApplicationModel, ActivationsReachTheOverrideOfTheirKind) {
  auto app = StartApp();
  EXPECT_EQ(Application::Current(), app);
  auto splash = Platform::ref_new<SplashScreen>();
  Platform::StandIn::Activate(Platform::ref_new<LaunchActivatedEventArgs>(u"", splash));
  Platform::StandIn::Activate(Platform::ref_new<FileActivatedEventArgs>(
      std::vector<std::shared_ptr<Windows::Storage::IStorageItem>>{}, splash));
  Platform::StandIn::Activate(Platform::ref_new<ProtocolActivatedEventArgs>(
      Platform::ref_new<Windows::Foundation::Uri>(u"x:y"), splash));
  Platform::StandIn::Activate(Platform::ref_new<ShareTargetActivatedEventArgs>(nullptr));
  EXPECT_TRUE(app->calls.empty()) << "activations run on the UI loop, not at once";
  Platform::StandIn::RunUntilIdle();
  EXPECT_EQ(app->calls, (std::vector<std::string>{"launched", "file", "activated", "activated"}));
  EXPECT_FALSE(Platform::StandIn::ActivationFailure());
}

TEST_F(ApplicationModel, FailingActivationIsRecordedAndEndsTheApplication) {
  StartApp();
  Platform::StandIn::Activate(Platform::ref_new<LaunchActivatedEventArgs>(u"fail", nullptr));
  Platform::StandIn::RunUntilIdle();
  auto failure = Platform::StandIn::ActivationFailure();
  ASSERT_TRUE(failure);
  EXPECT_EQ(failure->result, E_NOINTERFACE);
  EXPECT_NE(failure->message.find("refused"), std::string::npos);
  EXPECT_TRUE(Platform::StandIn::ExitRequested());
  auto recorded = Platform::Trace::EventsNamed("activation.failed");
  ASSERT_EQ(recorded.size(), 1u);
  EXPECT_EQ(recorded[0]["result"], "0x80004002");
}

TEST_F(ApplicationModel, StartReturnsOnlyAfterPendingWorkHasRun) {
  // The launch starts a slow work item that hands a result back through the
  // dispatcher, then exits at once: the hand-back must still run.
  bool handedBack = false;
  std::thread::id workThread;
  const auto uiThread = std::this_thread::get_id();
  Platform::StandIn::Activate(Platform::ref_new<LaunchActivatedEventArgs>(u"", nullptr));
  Application::Start([&](auto) {
    auto app = Platform::ref_new<RecordingApp>();
    app->onLaunched = [&, app = app.get()] {
      auto dispatcher = Windows::UI::Core::CoreWindow::GetForCurrentThread()->Dispatcher();
      Windows::System::Threading::ThreadPool::RunAsync([&, dispatcher](auto) {
        workThread = std::this_thread::get_id();
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        dispatcher->RunAsync(Windows::UI::Core::CoreDispatcherPriority::Normal, [&] {
          EXPECT_EQ(std::this_thread::get_id(), uiThread);
          handedBack = true;
        });
      });
      app->Exit();
    };
  });
  EXPECT_TRUE(handedBack);
  EXPECT_NE(workThread, uiThread);
  EXPECT_EQ(Application::Current(), nullptr) << "the application is released when Start returns";
}

TEST_F(ApplicationModel, StartRaisesWhenTheCallbackFailsOrCreatesNoApplication) {
  EXPECT_THROW(Application::Start([](auto) { throw Platform::ClassNotRegisteredException(); }),
               Platform::ClassNotRegisteredException);
  EXPECT_THROW(Application::Start([](auto) {}), Platform::FailureException);
  EXPECT_EQ(Application::Current(), nullptr);
}

TEST_F(ApplicationModel, DispatcherRunsHandlersByPriorityOnTheUiThreadWhoeverQueuesThem) {
  StartApp();
  auto dispatcher = Windows::UI::Core::CoreWindow::GetForCurrentThread()->Dispatcher();
  EXPECT_TRUE(dispatcher->HasThreadAccess());
  std::vector<std::string> order;
  using Windows::UI::Core::CoreDispatcherPriority;
  dispatcher->RunAsync(CoreDispatcherPriority::Low, [&] { order.push_back("low"); });
  dispatcher->RunAsync(CoreDispatcherPriority::Normal, [&] { order.push_back("normal1"); });
  std::thread([&] {
    EXPECT_EQ(Windows::UI::Core::CoreWindow::GetForCurrentThread(), nullptr);
    EXPECT_FALSE(dispatcher->HasThreadAccess());
    dispatcher->RunAsync(CoreDispatcherPriority::High, [&] { order.push_back("high"); });
  }).join();
  dispatcher->RunAsync(CoreDispatcherPriority::Normal, [&] { order.push_back("normal2"); });
  auto failing = dispatcher->RunAsync(CoreDispatcherPriority::Normal,
                                      [] { throw Platform::DisconnectedException(); });
  EXPECT_EQ(failing->Status(), Windows::Foundation::AsyncStatus::Started);
  Platform::StandIn::RunUntilIdle();
  EXPECT_EQ(order, (std::vector<std::string>{"high", "normal1", "normal2", "low"}));
  EXPECT_EQ(failing->Status(), Windows::Foundation::AsyncStatus::Error);
  EXPECT_EQ(failing->ErrorCode(), RPC_E_DISCONNECTED);
}

TEST(ActivationRegistry, CreatesRegisteredClassesAndRefusesOthers) {
  struct Thing : Platform::Object {};
  Platform::RegisterActivatableClass(u"Test.Thing", [] { return Platform::ref_new<Thing>(); });
  auto first = Platform::ActivateInstance(u"Test.Thing");
  EXPECT_NE(Platform::try_cast<Thing>(first), nullptr);
  EXPECT_NE(first, Platform::ActivateInstance(u"Test.Thing")) << "a new instance each time";
  Platform::UnregisterActivationFactory(u"Test.Thing");
  try {
    Platform::ActivateInstance(u"Test.Thing");
    FAIL() << "an unregistered class must not activate";
  } catch (const Platform::Exception& e) {
    EXPECT_EQ(e.HResult(), REGDB_E_CLASSNOTREG);
  }
}

TEST(Foundation, UriCanonicalFormAndBoxNames) {
  using Windows::Foundation::Uri;
  EXPECT_EQ(Uri(u"Corvane://Level/5?Q=A b#Frag").AbsoluteUri(), u"corvane://level/5?Q=A b#Frag");
  EXPECT_EQ(Uri(u"HTTP://Example.com").AbsoluteUri(), u"http://example.com/");
  EXPECT_EQ(Uri(u"http://Example.com?x#y").AbsoluteUri(), u"http://example.com/?x#y");
  EXPECT_EQ(Uri(u"mailto:Someone@Example.com").AbsoluteUri(), u"mailto:Someone@Example.com");
  EXPECT_EQ(Uri(u"ms-appx:///MainPage.xaml").AbsoluteUri(), u"ms-appx:///MainPage.xaml");
  EXPECT_EQ(Uri(u"Corvane://x").SchemeName(), u"corvane");
  for (auto bad : {u"", u"no-scheme", u":empty", u"1abc:x", u"a b:c"}) {
    EXPECT_THROW(Uri{bad}, Platform::InvalidArgumentException) << Platform::String(bad).size();
  }
  EXPECT_EQ(Windows::Foundation::Box(1.5f)->GetRuntimeClassName(),
            u"Windows.Foundation.IReference`1<Single>");
  EXPECT_EQ(Windows::Foundation::Box(1.5)->GetRuntimeClassName(),
            u"Windows.Foundation.IReference`1<Double>");
}

}  // namespace
