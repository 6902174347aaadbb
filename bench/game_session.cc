#include "game_session.h"

#include <cstdlib>
#include <cstring>

#include "constants.h"
#include "ostrel.h"

namespace GameSession {
namespace {

namespace Constants = Ostrel::Constants;
namespace GameEvents = Ostrel::GameEvents;

constexpr const char* userId = "player-4f1c2a9e7b3d55";
constexpr const char* clientId = "client-9a8b7c6d5e4f3a";
constexpr const char* appId = "com.example.skyforge";
constexpr const char* packageName = "ExampleStudio.Skyforge";
constexpr const char* title = "Skyforge: Rising Tides";
constexpr const char* versionName = "1.24.3-release.1";
constexpr const char* versionCode = "1024030001";
constexpr const char* platformName = "Windows";
constexpr const char* platformVersion = "10.0.19045.3693";
constexpr const char* locale = "en-US";

constexpr double price = 4.99;
constexpr const char* currency = "EUR";
constexpr const char* sku = "gems.pack.large.2024";
constexpr const char* purchaseName = "Large Gem Pack Bonus";
constexpr const char* customName = "match_finished";
constexpr const char* customAttributes =
    R"({"map":"frozen-harbor-night","mode":"ranked-arena-solo","score":1520})";

}  // namespace

ExportsPlayer::ExportsPlayer() {
  Tavi_Init(projectId);
  Tavi_SetUser(userId);
  Tavi_SetClient(clientId);
  Tavi_SetAppData(appId, packageName, title, versionName, versionCode);
  Tavi_SetPlatform(platformName, platformVersion);
  Tavi_SetDeviceLocale(locale);
  Tavi_Update();  // the first check always passes: flushes "session.start"
  TakeMessages();
}

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
  Tavi_EventPurchase(nullptr, nullptr, price, currency, sku, 1, 1, purchaseName, 0);
}
void ExportsPlayer::Custom() { Tavi_CustomEvent(customName, customAttributes); }

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
    : services(std::make_unique<ServicesClient>(projectId)) {
  services->SetUserId(userId);
  services->SetClientId(clientId);
  services->SetAppData(appId, packageName, title, versionName, versionCode);
  services->SetPlatform(platformName, platformVersion);
  services->SetDeviceLocale(locale);
  services->SetHttpClient(client);
  services->Flush();  // "session.start" leaves the buffer
}

void CorePlayer::LevelUp(int level) { GameEvents::RecordLevelUp(*services, level); }
void CorePlayer::StartLoading() { GameEvents::RecordStartLoading(*services); }
void CorePlayer::FinishLoading() { GameEvents::RecordFinishLoading(*services); }
void CorePlayer::TutorialStart() { GameEvents::RecordTutorialStart(*services); }
void CorePlayer::TutorialFinish() { GameEvents::RecordTutorialFinish(*services); }
void CorePlayer::Purchase() {
  GameEvents::RecordPurchase(*services, price, currency, sku, 1, 1, purchaseName, 0);
}
void CorePlayer::Custom() { GameEvents::RecordCustom(*services, customName, customAttributes); }

BufferedFlush::BufferedFlush()
    : player(nullptr),
      url(std::string(Constants::baseUrl) + "/v1/win/batch?project=" + projectId),
      headers{std::string("X-Api-Key: ") + Constants::apiKey, Constants::contentTypeHeader} {
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
