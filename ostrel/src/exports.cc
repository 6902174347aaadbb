// The nineteen exports: the only place C meets C++. Each makes its arguments
// safe first and then does its work inside the one guard, Guarded, so that
// nothing thrown inside ever leaves the library.
#include <string_view>

#if defined(_WIN32)
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#endif

#include "constants.h"
#include "game_events.h"
#include "library.h"
#include "ostrel.h"
#include "text_buffer.h"

namespace {

using Ostrel::Library;
namespace Constants = Ostrel::Constants;
namespace GameEvents = Ostrel::GameEvents;

// What keeps the library loaded once it has state.
#if defined(_WIN32)
// Pins ostrel.dll: FreeLibrary then leaves it loaded until the process ends.
void KeepLoaded() {
  HMODULE self = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                     reinterpret_cast<LPCWSTR>(&KeepLoaded), &self);
}
#else
// libostrel.so is linked with "-z nodelete": dlclose leaves it loaded.
void KeepLoaded() {}
#endif

// Created on first use and never destroyed: exit runs none of the library's
// code, so the game's atexit handlers and static destructors can still end
// the session and take its requests. The pointer keeps the state reachable
// (not a leak) for as long as the process runs, and the library stays loaded
// from then on, so unloading it leaves the state in place.
Library& State() {
  static Library* const library = [] {
    KeepLoaded();
    return new Library;
  }();
  return *library;
}

const char* OrEmpty(const char* text) { return text != nullptr ? text : ""; }

// A new array the caller owns and releases as ostrel.h says.
char* NewText(std::string_view text) { return Ostrel::TextBuffer(text).Release(); }

// The one guard of the C boundary: nothing thrown inside `action` leaves the
// library. A call that throws has no effect beyond what already happened and
// returns `fallback`.
template <typename Result, typename Action>
Result Guarded(Result fallback, Action action) noexcept {
  try {
    return action();
  } catch (...) {
    return fallback;
  }
}

template <typename Action>
void Guarded(Action action) noexcept {
  try {
    action();
  } catch (...) {
  }
}

// Runs `action` on the services client when the library is initialised.
template <typename Action>
void WithServices(Action action) noexcept {
  Guarded([&] {
    if (ServicesClient* services = State().Services()) action(*services);
  });
}

}  // namespace

extern "C" {

OSTREL_API void Tavi_Init(const char* projectId) {
  const char* id = OrEmpty(projectId);
  Guarded([&] { State().Init(id); });
}

OSTREL_API void Tavi_Update(void) {
  Guarded([] { State().Update(); });
}

OSTREL_API char* Tavi_Get_Version(void) {
  return Guarded<char*>(nullptr, [] { return NewText(Constants::kVersion); });
}

OSTREL_API void Tavi_Destroy(void) {
  Guarded([] { State().Destroy(); });
}

// The first call may create the library's state.
OSTREL_API int32_t Tavi_MessagesCount(void) {
  return Guarded<int32_t>(0, [] { return State().MessagesCount(); });
}

// The message is handed over as it is: it was written in the memory the
// caller releases it to.
OSTREL_API char* Tavi_Zel_GetMessage(void) {
  return Guarded<char*>(nullptr, [] {
    if (State().OldestMessage() == nullptr) return NewText("");
    return State().TakeOldestMessage();
  });
}

OSTREL_API void Tavi_SetUser(const char* userId) {
  const char* id = OrEmpty(userId);
  WithServices([&](ServicesClient& services) { services.SetUserId(id); });
}

OSTREL_API void Tavi_SetClient(const char* clientId) {
  const char* id = OrEmpty(clientId);
  WithServices([&](ServicesClient& services) { services.SetClientId(id); });
}

OSTREL_API void Tavi_SetAttribution(const char* attribution) {
  const char* text = OrEmpty(attribution);
  WithServices([&](ServicesClient& services) { services.SetAttribution(text); });
}

OSTREL_API void Tavi_SetAppData(const char* appId, const char* packageName, const char* title,
                                const char* versionName, const char* versionCode) {
  const char* texts[] = {OrEmpty(appId), OrEmpty(packageName), OrEmpty(title), OrEmpty(versionName),
                         OrEmpty(versionCode)};
  WithServices([&](ServicesClient& services) {
    services.SetAppData(texts[0], texts[1], texts[2], texts[3], texts[4]);
  });
}

OSTREL_API void Tavi_SetDeviceLocale(const char* localeCode) {
  const char* code = OrEmpty(localeCode);
  WithServices([&](ServicesClient& services) { services.SetDeviceLocale(code); });
}

OSTREL_API void Tavi_SetPlatform(const char* name, const char* version) {
  const char* platformName = OrEmpty(name);
  const char* platformVersion = OrEmpty(version);
  WithServices(
      [&](ServicesClient& services) { services.SetPlatform(platformName, platformVersion); });
}

OSTREL_API void Tavi_Event_LevelUp(int32_t level) {
  WithServices([&](ServicesClient& services) { GameEvents::RecordLevelUp(services, level); });
}

OSTREL_API void Tavi_EventStartLoading(void) {
  WithServices([](ServicesClient& services) { GameEvents::RecordStartLoading(services); });
}

OSTREL_API void Tavi_EventFinishLoading(void) {
  WithServices([](ServicesClient& services) { GameEvents::RecordFinishLoading(services); });
}

OSTREL_API void Tavi_EventTutorialStart(void) {
  WithServices([](ServicesClient& services) { GameEvents::RecordTutorialStart(services); });
}

OSTREL_API void Tavi_EventTutorialFinish(void) {
  WithServices([](ServicesClient& services) { GameEvents::RecordTutorialFinish(services); });
}

// The first two texts are part of the interface but carry nothing.
OSTREL_API void Tavi_EventPurchase(const char* /*unused1*/, const char* /*unused2*/, double price,
                                   const char* currency, const char* sku, int32_t amount,
                                   int32_t validated, const char* name, int32_t sandbox) {
  const char* currencyText = OrEmpty(currency);
  const char* skuText = OrEmpty(sku);
  const char* nameText = OrEmpty(name);
  WithServices([&](ServicesClient& services) {
    GameEvents::RecordPurchase(services, price, currencyText, skuText, amount, validated, nameText,
                               sandbox);
  });
}

// A null name reads as "", null attributes as JSON null (no values).
OSTREL_API void Tavi_CustomEvent(const char* name, const char* attributes) {
  const char* eventName = OrEmpty(name);
  const char* json = attributes != nullptr ? attributes : "null";
  WithServices(
      [&](ServicesClient& services) { GameEvents::RecordCustom(services, eventName, json); });
}

}  // extern "C"
