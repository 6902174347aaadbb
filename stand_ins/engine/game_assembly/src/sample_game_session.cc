// The sample game's session, played through Ostrel's exports as game code
// does. Besides the steps below, every frame calls Tavi_Update and takes
// what Ostrel queued (sample_game.cc).
#include "sample_game_session.h"

#include "game_screen.h"
#include "header_callback.h"
#include "machine_context.h"
#include "ostrel.h"

namespace GameAssembly {
namespace {

void Boot() {
  GameScreen::Instance().ShowLevel(1);
  SetWindowTitle("Level 1");
  Tavi_Init(kProjectId);
  Tavi_SetAppData("sample-game", "Corvane.SampleGame", "Corvane Sample Game", "2.0.1", "201");
  const PlatformInfo platform = PlatformFromMachine();
  Tavi_SetPlatform(platform.name.c_str(), platform.version.c_str());
  Tavi_SetDeviceLocale(LocaleFromEnvironment().c_str());
  Tavi_SetUser("player-0042");
  Tavi_SetClient("client-5e1f9a");
}

void ReachLevelTwo() {
  Tavi_Event_LevelUp(2);
  GameScreen::Instance().ShowLevel(2);
  SetWindowTitle("Caf\xC3\xA9 \xC3\x89lan \xE2\x80\x94 Level 2");  // Café Élan — Level 2
}

void BuyGems() {
  // Validated by the store's test environment: sandbox.
  Tavi_EventPurchase(nullptr, nullptr, 0.99, "EUR", "gems.small", 1, 1, "Small Gem Pack", 1);
}

const std::vector<SessionStep> kSession = {
    {1, Boot},  // title, Tavi_Init, app data, platform, locale, user, client;
                // this frame's Tavi_Update sends the session start
    {2, [] { Tavi_EventStartLoading(); }},
    {5, [] { Tavi_EventFinishLoading(); }},
    {6, [] { Tavi_EventTutorialStart(); }},
    {8, [] { Tavi_CustomEvent("tutorial_step", R"({"action":"jump","seconds":2.5,"step":1})"); }},
    {10, [] { Tavi_EventTutorialFinish(); }},
    {11, ReachLevelTwo},
    {12, BuyGems},
    {13, [] { Tavi_CustomEvent("shop_visit", R"({"items_viewed":4,"shelf":"gems"})"); }},
    // The store reports how the game was installed: a new attribution is
    // sent at once, with everything recorded so far.
    {14, [] { Tavi_SetAttribution("campaign=spring_launch&source=store"); }},
    {16,
     [] {
       Tavi_Event_LevelUp(3);
       GameScreen::Instance().ShowLevel(3);
     }},
    {17,
     [] {
       Tavi_CustomEvent(
           "boss_defeated",
           "{\"area\":\"Caf\xC3\xA9 \xC3\x89lan\",\"boss\":\"Warden\",\"time\":73.5,\"tries\":3}");
     }},
    {18,
     [] { Tavi_CustomEvent("session_summary", R"({"coins":1250,"deaths":2,"mode":"story"})"); }},
    {20, [] { Tavi_Destroy(); }},  // session stop; its request stays takeable
};

}  // namespace

const std::vector<SessionStep>& SessionSteps() { return kSession; }

}  // namespace GameAssembly
