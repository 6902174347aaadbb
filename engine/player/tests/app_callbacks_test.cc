#include <gtest/gtest.h>

#include <thread>

#include "engine_player/app_callbacks.h"
#include "game_assembly.h"
#include "platform/activation_registry.h"
#include "platform/application.h"
#include "platform/stand_in.h"
#include "platform/trace.h"
#include "platform/window.h"

namespace {

using EnginePlayer::AppCallbacks;

class BareApp : public Windows::UI::Xaml::Application {};

class Player : public ::testing::Test {
 protected:
  void SetUp() override {
    EnginePlayer::RegisterAppCallbacks();
    Platform::StandIn::StartApplication([](auto) { Platform::ref_new<BareApp>(); });
    player =
        Platform::safe_cast<AppCallbacks>(Platform::ActivateInstance(u"EnginePlayer.AppCallbacks"));
  }
  void TearDown() override {
    AppCallbacks::HoldRendering(false);
    SetHeaderUpdateCallback(nullptr);
    Platform::StandIn::Reset();
  }
  void Attach() {
    player->AttachRenderPanel(Platform::ref_new<Windows::UI::Xaml::Controls::SwapChainPanel>());
    player->AttachCoreWindow(Windows::UI::Xaml::Window::Current()->CoreWindow());
    player->CompletePlayerAttach();
  }
  std::shared_ptr<AppCallbacks> player;
};

std::vector<std::string> titles;
void RecordTitle(const char* text) { titles.emplace_back(text ? text : "(null)"); }

TEST_F(Player, IsTheCurrentPlayerAndReadyOnlyAfterAnAttach) {
  EXPECT_EQ(AppCallbacks::CurrentPlayer(), player);
  EXPECT_FALSE(player->GetPlayerReady());
  player->PassLaunchArguments(u"Uri=x:\u00e9");
  EXPECT_FALSE(player->GetPlayerReady());
  Attach();
  EXPECT_TRUE(player->GetPlayerReady());
  auto arguments = Platform::Trace::EventsNamed("player.arguments");
  ASSERT_EQ(arguments.size(), 1u);
  EXPECT_EQ(arguments[0]["value"], "Uri=x:\xC3\xA9");
}

TEST_F(Player, RendersOnTheUiThreadAndRaisesRenderingStartedOnceAfterTheFirstFrame) {
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
  Attach();
  EXPECT_EQ(player->FramesRendered(), 0u)
      << "frames run from the dispatcher, not inside the attach";
  Platform::StandIn::RunOne();
  EXPECT_EQ(raised, 1);
  EXPECT_EQ(framesAtRaise, 1u);
  Platform::StandIn::RunUntilIdle();
  EXPECT_EQ(raised, 1);
  auto started = Platform::Trace::EventsNamed("player.renderingstarted");
  ASSERT_EQ(started.size(), 1u);
  EXPECT_EQ(started[0]["result"], "0x80010108") << "a dead subscriber's failure reaches the player";

  // A test can raise the event again without rendering.
  EXPECT_EQ(player->RaiseRenderingStarted(), RPC_E_DISCONNECTED);
  EXPECT_EQ(raised, 2);
  EXPECT_EQ(Platform::Trace::EventsNamed("player.renderingstarted").size(), 1u);
}

TEST_F(Player, HeldRenderingKeepsTheGameStillUntilReleased) {
  AppCallbacks::HoldRendering(true);
  int raised = 0;
  player->AddRenderingStarted([&] { ++raised; });
  Attach();
  Platform::StandIn::RunUntilIdle();
  EXPECT_EQ(player->FramesRendered(), 0u);
  EXPECT_EQ(raised, 0);
  AppCallbacks::HoldRendering(false);
  Platform::StandIn::RunUntilIdle();
  EXPECT_EQ(raised, 1);
  EXPECT_GT(player->FramesRendered(), 0u);
}

TEST_F(Player, TheSampleGameSetsTitlesThenQuitsAndTheApplicationExits) {
  titles.clear();
  SetHeaderUpdateCallback(&RecordTitle);
  Attach();
  Platform::StandIn::RunUntilIdle();
  EXPECT_TRUE(Platform::StandIn::ExitRequested());
  ASSERT_EQ(titles.size(), 2u);
  EXPECT_EQ(titles[0], "Level 1");
  EXPECT_EQ(titles[1], "Caf\xC3\xA9 \xC3\x89lan \xE2\x80\x94 Level 2");
  // The game's own trace lines join the platform trace as events.
  const auto requests = Platform::Trace::EventsNamed("analytics.request");
  ASSERT_EQ(requests.size(), 3u);
  const std::string url = requests[0]["message"]["url"];
  EXPECT_NE(url.find("/v1/win/record?project=sample-game"), std::string::npos) << url;
  const unsigned frames = player->FramesRendered();
  Platform::StandIn::RunUntilIdle();
  EXPECT_EQ(player->FramesRendered(), frames) << "no frame after the game quit";
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
