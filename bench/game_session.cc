#include "game_session.h"

#include <cstdlib>
#include <cstring>

#include "constants.h"
#include "ostrel.h"

namespace GameSession {
namespace {

namespace Constants = Ostrel::Constants;
namespace GameEvents = Ostrel::GameEvents;

constexpr const char* kUserId = "player-4f1c2a9e7b3d55";
constexpr const char* kClientId = "client-9a8b7c6d5e4f3a";
constexpr const char* kAppId = "com.example.skyforge";
constexpr const char* kPackageName = "ExampleStudio.Skyforge";
constexpr const char* kTitle = "Skyforge: Rising Tides";
constexpr const char* kVersionName = "1.24.3-release.1";
constexpr const char* kVersionCode = "1024030001";
constexpr const char* kPlatformName = "Windows";
constexpr const char* kPlatformVersion = "10.0.19045.3693";
constexpr const char* kLocale = "en-US";

constexpr double kPrice = 4.99;
constexpr const char* kCurrency = "EUR";
constexpr const char* kSku = "gems.pack.large.2024";
constexpr const char* kPurchaseName = "Large Gem Pack Bonus";
constexpr const char* kCustomName = "match_finished";
constexpr const char* kCustomAttributes =
    R"({"map":"frozen-harbor-night","mode":"ranked-arena-solo","score":1520})";

}  // namespace

void ExportsPlayer::StartSession(bool flushStart) {
  Tavi_Init(kProjectId);
  Tavi_SetUser(kUserId);
  Tavi_SetClient(kClientId);
  Tavi_SetAppData(kAppId, kPackageName, kTitle, kVersionName, kVersionCode);
  Tavi_SetPlatform(kPlatformName, kPlatformVersion);
  Tavi_SetDeviceLocale(kLocale);
  if (!flushStart) return;
  Tavi_Update();  // the first check always passes: flushes "session.start"
  TakeMessages();
}

ExportsPlayer::ExportsPlayer() { StartSession(true); }

ExportsPlayer::~ExportsPlayer() {
  Tavi_Destroy();
  TakeMessages();
}

void ExportsPlayer::LevelUp(int level) { Tavi_Event_LevelUp(level); }
void ExportsPlayer::StartLoading() { Tavi_EventStartLoading(); }
void ExportsPlayer::FinishLoading() { Tavi_EventFinishLoading(); }
void ExportsPlayer::TutorialStart() { Tavi_EventTutorialStart(); }
void ExportsPlayer::TutorialFinish() { Tavi_EventTutorialFinish(); }
void ExportsPlayer::Purchase() {
  Tavi_EventPurchase(nullptr, nullptr, kPrice, kCurrency, kSku, 1, 1, kPurchaseName, 0);
}
void ExportsPlayer::Custom() { Tavi_CustomEvent(kCustomName, kCustomAttributes); }

std::size_t ExportsPlayer::TakeMessages() {
  std::size_t bytes = 0;
  for (int count = Tavi_MessagesCount(); count > 0; --count) {
    char* message = Tavi_Zel_GetMessage();
    bytes += std::strlen(message);
    std::free(message);
  }
  return bytes;
}

CorePlayer::CorePlayer(TaviServices::HttpClient* client)
    : services(std::make_unique<ServicesClient>(kProjectId)) {
  services->SetUserId(kUserId);
  services->SetClientId(kClientId);
  services->SetAppData(kAppId, kPackageName, kTitle, kVersionName, kVersionCode);
  services->SetPlatform(kPlatformName, kPlatformVersion);
  services->SetDeviceLocale(kLocale);
  services->SetHttpClient(client);
  services->Flush();  // "session.start" leaves the buffer
}

void CorePlayer::LevelUp(int level) { GameEvents::RecordLevelUp(*services, level); }
void CorePlayer::StartLoading() { GameEvents::RecordStartLoading(*services); }
void CorePlayer::FinishLoading() { GameEvents::RecordFinishLoading(*services); }
void CorePlayer::TutorialStart() { GameEvents::RecordTutorialStart(*services); }
void CorePlayer::TutorialFinish() { GameEvents::RecordTutorialFinish(*services); }
void CorePlayer::Purchase() {
  GameEvents::RecordPurchase(*services, kPrice, kCurrency, kSku, 1, 1, kPurchaseName, 0);
}
void CorePlayer::Custom() { GameEvents::RecordCustom(*services, kCustomName, kCustomAttributes); }

BufferedFlush::BufferedFlush()
    : player(nullptr),
      url(std::string(Constants::baseUrl) + "/v1/win/batch?project=" + kProjectId),
      headers{std::string("X-Api-Key: ") + Constants::kApiKey, Constants::kContentTypeHeader} {
  PlayThirtyEvents(player);
}

Ostrel::EventBatch BufferedFlush::Events() {
  return {player.Services().BufferedEvents(), player.Services().Context()};
}

// As Tavi_Zel_GetMessage hands it out.
std::size_t TakeAsCText(const std::string& message) {
  auto* text = static_cast<char*>(std::malloc(message.size() + 1));
  std::memcpy(text, message.c_str(), message.size() + 1);
  const std::size_t bytes = std::strlen(text);
  std::free(text);
  return bytes;
}

}  // namespace GameSession
