#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <mutex>
#include <set>
#include <thread>

#include "platform/activation_registry.h"
#include "platform/dispatcher.h"
#include "platform/thread_pool.h"
#include "platform/view.h"
#include "platform/window.h"
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

TEST_F(ApplicationModel, AfterExitNothingRunsAndTheExitIsTheTracesLastLine) {
  // The launch starts a work item that hands a result back through the
  // dispatcher after the exit, queues a handler of its own, then exits.
  std::atomic<bool> itemStarted{false}, itemFinished{false};
  bool handedBack = false, queuedRan = false, closed = false;
  std::string itemThread;
  Platform::StandIn::Activate(Platform::ref_new<LaunchActivatedEventArgs>(u"", nullptr));
  Application::Start([&](auto) {
    auto app = Platform::ref_new<RecordingApp>();
    app->onLaunched = [&, app = app.get()] {
      auto window = Windows::UI::Core::CoreWindow::GetForCurrentThread();
      window->Closed.Add([&](auto, auto) { closed = true; });
      auto dispatcher = window->Dispatcher();
      Windows::System::Threading::ThreadPool::RunAsync([&, dispatcher](auto) {
        itemThread = Platform::Trace::CurrentThreadName();
        itemStarted = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        dispatcher->RunAsync(Windows::UI::Core::CoreDispatcherPriority::Normal,
                             [&] { handedBack = true; });
        itemFinished = true;
      });
      dispatcher->RunAsync(Windows::UI::Core::CoreDispatcherPriority::High,
                           [&] { queuedRan = true; });
      while (!itemStarted) std::this_thread::yield();
      app->Exit();
      Platform::Trace::Record("test.afterexit");  // the handler itself runs to its end
    };
  });
  EXPECT_TRUE(closed);
  EXPECT_TRUE(itemFinished) << "the running work item is joined";
  EXPECT_EQ(itemThread, "pool");
  EXPECT_FALSE(handedBack);
  EXPECT_FALSE(queuedRan);
  EXPECT_EQ(Application::Current(), nullptr) << "the application is released when Start returns";

  Platform::Trace::Record("test.late");
  auto events = Platform::Trace::Events();
  ASSERT_GE(events.size(), 3u);
  EXPECT_EQ(events.back()["event"], "application.exit");
  const auto& dropped = events[events.size() - 2];
  EXPECT_EQ(dropped["event"], "application.dropped");
  EXPECT_EQ(dropped["handlers"], 2) << "the queued handler and the hand-back";
  EXPECT_EQ(dropped["workItems"], 0);
}

// A work item blocked for good (on a FIFO, say) is left behind once its
// patience is over; it never reports, even when it returns later.
TEST_F(ApplicationModel, AWorkItemThatNeverReturnsDoesNotHoldUpTheEnd) {
  Platform::StandIn::SetWorkItemPatience(std::chrono::milliseconds(20));
  auto release = std::make_shared<std::promise<void>>();
  std::atomic<bool> started{false};
  StartApp();
  Windows::System::Threading::ThreadPool::RunAsync(
      [release, &started, blocked = release->get_future().share()](auto) {
        started = true;
        blocked.wait();
      });
  while (!started) std::this_thread::yield();
  Application::Current()->Exit();
  Platform::StandIn::RunUntilExit();
  auto dropped = Platform::Trace::EventsNamed("application.dropped");
  ASSERT_EQ(dropped.size(), 1u);
  EXPECT_EQ(dropped[0]["abandonedWorkItems"], 1);
  EXPECT_EQ(EventNames().back(), "application.exit");
  release->set_value();
}

TEST_F(ApplicationModel, TheUserClosingTheWindowEndsTheApplicationFromAnyThread) {
  bool closed = false;
  std::thread closer;
  Application::Start([&](auto) {
    Platform::ref_new<RecordingApp>();
    Windows::UI::Core::CoreWindow::GetForCurrentThread()->Closed.Add(
        [&](auto, auto) { closed = true; });
    closer = std::thread([] { Platform::StandIn::CloseWindow(); });
  });
  closer.join();
  EXPECT_TRUE(closed);
  auto names = EventNames();
  ASSERT_GE(names.size(), 2u);
  EXPECT_EQ(names.front(), "window.closed");
  EXPECT_EQ(names.back(), "application.exit");
}

TEST_F(ApplicationModel, EveryTraceLineCarriesItsTimeAndThread) {
  StartApp();
  Platform::Trace::Record("on.ui");
  std::thread([] {
    Platform::Trace::Record("on.unnamed");
    Platform::Trace::NameCurrentThread("game");
    Platform::Trace::Record("on.game");
    Platform::Trace::Record("handed.on", {{"thread", "delivery"}, {"n", 1}});
  }).join();
  std::thread(Platform::Trace::Record, "numbered.thread", Platform::Trace::Event{{"thread", 7}})
      .join();
  auto events = Platform::Trace::Events();
  ASSERT_EQ(events.size(), 5u);
  std::vector<std::string> threads;
  double last = 0;
  for (auto& event : events) {
    threads.push_back(event["thread"]);
    ASSERT_TRUE(event["ms"].is_number()) << event;
    EXPECT_GE(event["ms"].get<double>(), last);
    last = event["ms"];
    EXPECT_EQ(event.begin().key(), "event");
  }
  EXPECT_EQ(threads, (std::vector<std::string>{"ui", "other", "game", "delivery", "other"}))
      << "a thread field that is no text names nothing";
  EXPECT_EQ(events[3]["n"], 1);
  EXPECT_EQ(Platform::Trace::Format(events[3]).find("\"thread\""),
            Platform::Trace::Format(events[3]).rfind("\"thread\""))
      << "one thread member";
}

TEST_F(ApplicationModel, TheFirstActivationTakesTheFullScreenLaunchModeAsAResize) {
  using Windows::UI::ViewManagement::ApplicationView;
  using Windows::UI::ViewManagement::ApplicationViewWindowingMode;
  auto launch = [] {
    Platform::StandIn::Activate(Platform::ref_new<LaunchActivatedEventArgs>(u"", nullptr));
    Platform::StandIn::RunUntilIdle();
    return Platform::Trace::EventsNamed("window.sizechanged").size();
  };
  StartApp();
  EXPECT_EQ(launch(), 0u) << "the default launch mode keeps the window's size";
  Platform::StandIn::Reset();

  StartApp();
  ApplicationView::PreferredLaunchWindowingMode(ApplicationViewWindowingMode::FullScreen);
  int resized = 0;
  Windows::UI::Xaml::Window::Current()->SizeChanged.Add([&](auto, auto) { ++resized; });
  EXPECT_EQ(launch(), 1u);
  EXPECT_EQ(resized, 1);
  auto bounds = Windows::UI::Xaml::Window::Current()->Bounds();
  EXPECT_EQ(bounds.Width, 1920);
  EXPECT_EQ(bounds.Height, 1080);
  EXPECT_EQ(launch(), 1u) << "only the first activation";
}

TEST_F(ApplicationModel, WorkItemsRunOnThePoolsStartedWorkers) {
  StartApp();
  std::mutex mutex;
  std::set<std::thread::id> workers;
  std::set<std::string> names;
  for (int i = 0; i < 8; ++i) {
    Windows::System::Threading::ThreadPool::RunAsync([&](auto) {
      std::lock_guard<std::mutex> lock(mutex);
      workers.insert(std::this_thread::get_id());
      names.insert(Platform::Trace::CurrentThreadName());
    });
  }
  Platform::StandIn::RunUntilIdle();
  EXPECT_LE(workers.size(), 2u) << "the same workers take item after item";
  EXPECT_EQ(workers.count(std::this_thread::get_id()), 0u);
  EXPECT_EQ(names, std::set<std::string>{"pool"});
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
