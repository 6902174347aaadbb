#include "services_client.h"

#include "constants.h"
#include "utils_client.h"

namespace {
constexpr const char* kClientIdKey = "clientID";
}

ServicesClient::ServicesClient(std::string projectId) : recorder(std::move(projectId)) {
  recorder.Append(AnalyticsEvent("session.start"));
}

void ServicesClient::AttachUtilities(TaviServices::UtilsClient* utils) {
  utilsClient = utils;
  if (utilsClient == nullptr) return;
  context.sessionId = utilsClient->GenerateId().substr(0, kMaxSessionIdLength);
  if (!context.clientId.empty()) return;
  std::string stored = utilsClient->GetValue(kClientIdKey, "");
  if (!stored.empty()) {
    context.clientId = std::move(stored);
    return;
  }
  SetClientId(utilsClient->GenerateId());
}

void ServicesClient::SetUserId(std::string userId) { context.userId = std::move(userId); }

void ServicesClient::SetClientId(std::string clientId) {
  if (clientId == context.clientId) return;
  context.clientId = std::move(clientId);
  if (utilsClient != nullptr) utilsClient->SetValue(kClientIdKey, context.clientId);
}

void ServicesClient::SetAttribution(std::string text) {
  if (text != attribution) {
    AnalyticsEvent event("init_attribution_pc");
    event.AddAttribute("params", text);
    recorder.Append(std::move(event));
    Flush();
  }
  attribution = std::move(text);
}

void ServicesClient::SetAppData(std::string appId, std::string packageName, std::string title,
                                std::string versionName, std::string versionCode) {
  context.appId = std::move(appId);
  context.packageName = std::move(packageName);
  context.title = std::move(title);
  context.versionName = std::move(versionName);
  context.versionCode = std::move(versionCode);
}

// Only a code shaped like "en-US" yields language and country; the separator
// is not examined.
void ServicesClient::SetDeviceLocale(std::string code) {
  context.localeCode = std::move(code);
  if (context.localeCode.size() != 5) return;
  if (context.language.empty()) context.language = context.localeCode.substr(0, 2);
  if (context.country.empty()) context.country = context.localeCode.substr(3, 2);
}

void ServicesClient::SetPlatform(std::string name, std::string version) {
  context.platformName = std::move(name);
  context.platformVersion = std::move(version);
}

bool ServicesClient::RecordEvent(AnalyticsEvent event, Ostrel::EventCategory category) {
  event.SetCategory(std::move(category));
  recorder.Append(std::move(event));
  return !recorder.FlushDue() || Flush();
}

bool ServicesClient::Flush() {
  return httpClient != nullptr && recorder.Flush(*httpClient, context);
}

void ServicesClient::FlushIfDue(std::int64_t nowSeconds) {
  const bool clockWentBack = nowSeconds < lastFlushTime;
  // Unsigned difference: exact when the clock did not go back, and it cannot
  // overflow however far apart the two readings are.
  const std::uint64_t elapsed =
      static_cast<std::uint64_t>(nowSeconds) - static_cast<std::uint64_t>(lastFlushTime);
  const bool intervalPassed =
      elapsed > static_cast<std::uint64_t>(Ostrel::Constants::flushEventsThresholdSeconds);
  if (!clockWentBack && !intervalPassed) return;
  Flush();  // sends nothing when nothing is buffered
  lastFlushTime = nowSeconds;
}

void ServicesClient::Teardown() {
  recorder.Append(AnalyticsEvent("session.stop"));
  Flush();
}
