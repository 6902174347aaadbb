#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <set>
#include <thread>

#include "engine_player/app_callbacks.h"
#include "engine_player/engine_options.h"
#include "game_assembly.h"
#include "game_trace_recorder.h"
#include "platform/activation_registry.h"
#include "platform/application.h"
#include "platform/stand_in/stand_in.h"
#include "platform/stand_in/trace.h"
#include "platform/window.h"

namespace {

using EnginePlayer::AppCallbacks;
using std::chrono::milliseconds;

class BareApp : public Windows::UI::Xaml::Application {};

std::mutex titlesMutex;
std::vector<std::pair<std::string, std::thread::id>> titles;

void RecordTitle(const char* text) {
  std::lock_guard<std::mutex> lock(titlesMutex);
  titles.emplace_back(text ? text : "(null)", std::this_thread::get_id());
}

class Player : public ::testing::Test {
 protected:
  void SetUp() override {
    EnginePlayer::RegisterAppCallbacks();
    {
      std::lock_guard<std::mutex> lock(titlesMutex);
      titles.clear();
    }
    SetHeaderUpdateCallback(&RecordTitle);
    Platform::StandIn::StartApplication([](auto) { Platform::ref_new<BareApp>(); });
    player =
        Platform::safe_cast<AppCallbacks>(Platform::ActivateInstance(u"EnginePlayer.AppCallbacks"));
  }
  void TearDown() override {
    Platform::StandIn::Reset();
    AppCallbacks::HoldRendering(false);
    SetHeaderUpdateCallback(nullptr);
    EnginePlayer::ApplyEngineOptions({});
    // A session the test cut short is closed here, out of the next test's trace.
    GameAssembly_SetTraceSink(nullptr);
    GameAssembly_StartGame();
  }
  void Attach(milliseconds startup, milliseconds frame) {
    EnginePlayer::EngineOptions options;
    options.startupTime = startup;
    options.framePeriod = frame;
    EnginePlayer::ApplyEngineOptions(options);
    player->AttachRenderPanel(Platform::ref_new<Windows::UI::Xaml::Controls::SwapChainPanel>());
    player->AttachCoreWindow(Windows::UI::Xaml::Window::Current()->CoreWindow());
    player->CompletePlayerAttach();
  }
  std::shared_ptr<AppCallbacks> player;
};

std::set<std::string> ThreadsOf(const std::string& event) {
  std::set<std::string> threads;
  for (auto& recorded : Platform::Trace::EventsNamed(event)) threads.insert(recorded["thread"]);
  return threads;
}

TEST_F(Player, IsTheCurrentPlayerAndReadyOnlyAfterAnAttach) {
  EXPECT_EQ(AppCallbacks::CurrentPlayer(), player);
  EXPECT_FALSE(player->GetPlayerReady());
  player->PassLaunchArguments(u"Uri=x:\u00e9");
  EXPECT_FALSE(player->GetPlayerReady());
  AppCallbacks::HoldRendering(true);
  Attach(milliseconds(0), milliseconds(1));
  EXPECT_TRUE(player->GetPlayerReady());
  auto arguments = Platform::Trace::EventsNamed("player.arguments");
  ASSERT_EQ(arguments.size(), 1u);
  EXPECT_EQ(arguments[0]["value"], "Uri=x:\xC3\xA9");
}

TEST_F(Player, TheGamePlaysOnItsOwnThreadAndRenderingStartsOnTheUiThreadAfterTheStartUp) {
  const auto uiThread = std::this_thread::get_id();
  int raised = 0;
  unsigned framesAtRaise = 0;
  player->AddRenderingStarted([&] {
    EXPECT_EQ(std::this_thread::get_id(), uiThread);
    ++raised;
    framesAtRaise = player->FramesRendered();
  });
  auto removed = player->AddRenderingStarted([&] { ADD_FAILURE() << "removed handler called"; });
  player->RemoveRenderingStarted(removed);
  player->AddRenderingStarted([] { throw Platform::DisconnectedException(); });

  const auto attached = std::chrono::steady_clock::now();
  Attach(milliseconds(80), milliseconds(2));
  ASSERT_TRUE(Platform::StandIn::RunUntil([&] { return raised > 0; }));
  EXPECT_GE(std::chrono::steady_clock::now() - attached, milliseconds(80));
  EXPECT_GE(framesAtRaise, 1u);
  {
    std::lock_guard<std::mutex> lock(titlesMutex);
    ASSERT_FALSE(titles.empty()) << "the first frame sets the title";
    EXPECT_NE(titles[0].second, uiThread) << "titles come from the game's thread";
  }
  EXPECT_EQ(ThreadsOf("analytics.request"), std::set<std::string>{"game"});
  auto started = Platform::Trace::EventsNamed("player.renderingstarted");
  ASSERT_EQ(started.size(), 1u);
  EXPECT_EQ(started[0]["thread"], "ui");
  EXPECT_EQ(started[0]["result"], "0x80010108") << "a dead subscriber's failure reaches the player";

  Platform::StandIn::RunUntilExit();
  EXPECT_EQ(raised, 1);
  // A test can raise the event again without rendering.
  EXPECT_EQ(player->RaiseRenderingStarted(), RPC_E_DISCONNECTED);
  EXPECT_EQ(raised, 2);
}

TEST_F(Player, HeldRenderingKeepsTheGameStillUntilReleased) {
  AppCallbacks::HoldRendering(true);
  int raised = 0;
  player->AddRenderingStarted([&] { ++raised; });
  Attach(milliseconds(0), milliseconds(1));
  EXPECT_FALSE(
      Platform::StandIn::RunUntil([&] { return player->FramesRendered() > 0; }, milliseconds(100)));
  EXPECT_EQ(raised, 0);
  AppCallbacks::HoldRendering(false);
  EXPECT_TRUE(Platform::StandIn::RunUntil([&] { return raised == 1; }));
  EXPECT_GT(player->FramesRendered(), 0u);
}

TEST_F(Player, TheSampleGameSetsTitlesThenQuitsAndTheApplicationExitsLast) {
  Attach(milliseconds(0), milliseconds(1));
  Platform::StandIn::RunUntilExit();
  std::vector<std::string> texts;
  for (auto& title : titles) texts.push_back(title.first);
  EXPECT_EQ(texts,
            (std::vector<std::string>{"Level 1", "Caf\xC3\xA9 \xC3\x89lan \xE2\x80\x94 Level 2"}));
  // The game's own trace lines join the platform trace as events.
  const auto requests = Platform::Trace::EventsNamed("analytics.request");
  ASSERT_EQ(requests.size(), 3u);
  const std::string url = requests[0]["message"]["url"];
  EXPECT_NE(url.find("/v1/win/record?project=sample-game"), std::string::npos) << url;
  EXPECT_EQ(ThreadsOf("player.gamequit"), std::set<std::string>{"ui"});
  EXPECT_EQ(Platform::Trace::Events().back()["event"], "application.exit");
  const unsigned frames = player->FramesRendered();
  std::this_thread::sleep_for(milliseconds(20));
  EXPECT_EQ(player->FramesRendered(), frames) << "no frame after the game quit";
}

TEST_F(Player, AnApplicationExitStopsTheGameMidSession) {
  int raised = 0;
  player->AddRenderingStarted([&] { ++raised; });
  Attach(milliseconds(0), milliseconds(30));
  ASSERT_TRUE(Platform::StandIn::RunUntil([&] { return raised == 1; }));
  Windows::UI::Xaml::Application::Current()->Exit();
  Platform::StandIn::RunUntilExit();
  const unsigned frames = player->FramesRendered();
  EXPECT_LT(frames, 20u) << "the session was cut short";
  std::this_thread::sleep_for(milliseconds(60));
  EXPECT_EQ(player->FramesRendered(), frames) << "the game thread has ended";
  EXPECT_EQ(Platform::Trace::Events().back()["event"], "application.exit");
  EXPECT_TRUE(Platform::Trace::EventsNamed("player.gamequit").empty());
}

TEST(GameTrace, LinesKeepTheirOwnThreadOrTakeTheRecordingOne) {
  Platform::Trace::Clear();
  EnginePlayer::RecordGameTrace(R"({"event":"analytics.sent","status":200,"thread":"delivery"})");
  EnginePlayer::RecordGameTrace(R"({"event":"analytics.request","message":{}})");
  EnginePlayer::RecordGameTrace("not json");
  EnginePlayer::RecordGameTrace(nullptr);
  auto events = Platform::Trace::Events();
  ASSERT_EQ(events.size(), 4u);
  EXPECT_EQ(Platform::Trace::Format(events[0]).substr(0, 26), R"({"event":"analytics.sent",)");
  EXPECT_EQ(events[0]["thread"], "delivery");
  EXPECT_EQ(events[0]["status"], 200);
  EXPECT_EQ(events[1]["thread"], Platform::Trace::CurrentThreadName());
  EXPECT_EQ(events[2]["event"], "game.trace");
  EXPECT_EQ(events[2]["text"], "not json");
  EXPECT_EQ(events[3]["text"], "");
  Platform::Trace::Clear();
}

TEST(GameAssemblyExports, ServeNoClassAndStayLoaded) {
  std::shared_ptr<Windows::Foundation::IActivationFactory> factory;
  const Platform::String id = u"Corvane.MainPage";
  EXPECT_EQ(DllGetActivationFactory(&id, &factory), REGDB_E_CLASSNOTREG);
  EXPECT_EQ(factory, nullptr);
  EXPECT_EQ(DllGetActivationFactory(nullptr, &factory), REGDB_E_CLASSNOTREG);
  EXPECT_EQ(DllGetActivationFactory(&id, nullptr), E_POINTER);
  EXPECT_EQ(DllCanUnloadNow(), S_FALSE);
}

}  // namespace
