// Plays a short analytics session through Ostrel's exports, the way a game
// does, and prints every queued request text on its own line.
#include <cstdio>

#if defined(_WIN32)
#include <objbase.h>
#else
#include <cstdlib>
#endif

#include "ostrel.h"

namespace {

// Returned texts are released as ostrel.h says for the platform.
void ReleaseText(char* text) {
#if defined(_WIN32)
  CoTaskMemFree(text);
#else
  std::free(text);
#endif
}

// Takes every waiting request; a real game would send each one over HTTP.
void PrintQueuedRequests() {
  for (int32_t count = Tavi_MessagesCount(); count > 0; --count) {
    char* message = Tavi_Zel_GetMessage();
    if (message == nullptr) return;
    std::puts(message);
    ReleaseText(message);
  }
}

}  // namespace

int main() {
  char* version = Tavi_Get_Version();
  std::fprintf(stderr, "Ostrel %s\n", version != nullptr ? version : "?");
  ReleaseText(version);

  Tavi_Init("demo-project");
  Tavi_SetUser("player-0042");
  Tavi_SetClient("client-7f3a");
  Tavi_SetAppData("app-42", "SamplePackage", "Sample Game", "1.2.3", "45");
  Tavi_SetPlatform("Windows", "10.0.19045");
  Tavi_SetDeviceLocale("en-US");
  Tavi_Update();  // the first update flushes the buffered session start

  Tavi_EventStartLoading();
  Tavi_EventFinishLoading();
  Tavi_EventTutorialStart();
  Tavi_Event_LevelUp(2);
  Tavi_EventTutorialFinish();
  Tavi_EventPurchase("", "", 0.99, "EUR", "gold.100", 1, 1, "100 Gold", 0);
  Tavi_CustomEvent("boss_defeated", R"({"boss":"Warden","time":73.5,"tries":3})");
  Tavi_SetAttribution("campaign=launch");  // a new attribution flushes at once

  Tavi_Event_LevelUp(3);
  Tavi_Destroy();  // records the session stop and flushes it
  PrintQueuedRequests();
  return 0;
}
