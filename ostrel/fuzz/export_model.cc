#include "export_model.h"

#include <algorithm>
#include <limits>

#include "constants.h"
#include "custom_attributes_model.h"

using nlohmann::json;
namespace Constants = Ostrel::Constants;

namespace {

// Time stamps are seconds times 1000, held to the range that cannot overflow.
std::int64_t Milliseconds(std::int64_t seconds) {
  constexpr std::int64_t kLimit = std::numeric_limits<std::int64_t>::max() / 1000;
  return std::clamp(seconds, -kLimit, kLimit) * 1000;
}

// Compact, keys in byte order, invalid UTF-8 as U+FFFD, non-finite numbers
// as null.
std::string Written(const json& value) {
  return value.dump(-1, ' ', false, json::error_handler_t::replace);
}

}  // namespace

void ExportModel::Init(const std::string& projectId, std::int64_t now) {
  if (session || projectId.empty()) return;
  session.emplace();
  session->projectId = projectId;
  Append(ModelEvent{"session.start", {}, 0, {}, {}}, now);
}

void ExportModel::Update(std::int64_t now) {
  if (!session) return;
  std::int64_t elapsed = 0;
  const bool huge = __builtin_sub_overflow(now, session->lastFlushTime, &elapsed);
  // Passes when the clock went back or more than 30 seconds went by.
  if (!huge && elapsed >= 0 && elapsed <= Constants::flushEventsThresholdSeconds) return;
  Flush();
  session->lastFlushTime = now;
}

void ExportModel::Destroy(std::int64_t now) {
  if (!session) return;
  Append(ModelEvent{"session.stop", {}, 0, {}, {}}, now);
  Flush();
  session.reset();
}

void ExportModel::SetUser(std::string userId) {
  if (session) session->context.userId = std::move(userId);
}

void ExportModel::SetClient(std::string clientId) {
  if (session) session->context.clientId = std::move(clientId);
}

void ExportModel::SetAttribution(const std::string& attribution, std::int64_t now) {
  if (!session) return;
  if (attribution != session->attribution) {
    Append(ModelEvent{"init_attribution_pc", {}, 0, {{"params", attribution}}, {}}, now);
    Flush();
  }
  session->attribution = attribution;
}

void ExportModel::SetAppData(std::vector<std::string> fields) {
  if (session) session->context.appData = std::move(fields);
}

void ExportModel::SetDeviceLocale(std::string code) {
  if (!session) return;
  ModelContext& context = session->context;
  context.localeCode = std::move(code);
  if (context.localeCode.size() != 5) return;
  if (context.language.empty()) context.language = context.localeCode.substr(0, 2);
  if (context.country.empty()) context.country = context.localeCode.substr(3, 2);
}

void ExportModel::SetPlatform(std::string name, std::string version) {
  if (!session) return;
  session->context.platformName = std::move(name);
  session->context.platformVersion = std::move(version);
}

void ExportModel::RecordGameEvent(ModelEvent event, std::int64_t now) {
  Record(std::move(event), Ostrel::EventCategory::Game(), now);
}

void ExportModel::RecordCustom(std::string name, const std::string& attributesText,
                               std::int64_t now) {
  if (!session) return;
  const json attributes = json::parse(attributesText, nullptr, false, false);
  if (attributes.is_discarded()) return;
  ExpectedValues values = ConvertAttributes(attributes);
  Record(
      ModelEvent{std::move(name), {}, 0, std::move(values.attributes), std::move(values.metrics)},
      Ostrel::EventCategory::Custom(), now);
}

void ExportModel::Record(ModelEvent event, Ostrel::EventCategory category, std::int64_t now) {
  if (!session) return;
  event.category = std::move(category);
  Append(std::move(event), now);
  if (session->buffer.size() >= Constants::flushEventsThresholdAmount) Flush();
}

void ExportModel::Append(ModelEvent event, std::int64_t now) {
  event.timestamp = Milliseconds(now);
  session->buffer.push_back(std::move(event));
}

// One message carrying every buffered event, with the context as it is now.
void ExportModel::Flush() {
  if (session->buffer.empty()) return;
  const std::size_t count = session->buffer.size();
  std::string url = std::string(Constants::baseUrl) + "/v1/" +
                    (count == 1 ? "win/record" : "win/batch") + "?project=" + session->projectId;
  json body;
  if (count == 1) {
    body = EventJson(session->buffer.front());
  } else {
    body = json::array();
    for (const ModelEvent& event : session->buffer) body.push_back(EventJson(event));
  }
  const json message{
      {"data", Written(body)},
      {"headers",
       {std::string("X-Api-Key: ") + Constants::kApiKey, "Content-Type: application/json"}},
      {"url", url}};
  queue.push_back(ExpectedMessage{Written(message)});
  session->buffer.clear();
}

json ExportModel::EventJson(const ModelEvent& event) const {
  const ModelContext& context = session->context;
  const std::string attributePrefix = event.category.AttributeKeyPrefix();
  const std::string metricPrefix = event.category.MetricKeyPrefix();
  json attributes = json::object();
  for (const auto& [key, value] : event.attributes) attributes[attributePrefix + key] = value;
  attributes["user_id"] = context.userId;
  json metrics = nullptr;
  for (const auto& [key, value] : event.metrics) metrics[metricPrefix + key] = value;
  const std::vector<std::string>& app = context.appData;
  return json{
      {"event_type", event.category.TypePrefix() + event.name},
      {"event_timestamp", event.timestamp},
      {"arrival_timestamp", event.timestamp},
      {"event_version", "1.0"},
      {"application",
       {{"app_id", app[0]},
        {"package_name", app[1]},
        {"title", app[2]},
        {"version_name", app[3]},
        {"version_code", app[4]},
        {"cognito_identity_pool_id", ""},
        {"sdk", {{"name", "Services"}, {"version", "2.0.1"}}}}},
      {"client", {{"client_id", context.clientId}, {"cognito_id", ""}}},
      {"device",
       {{"model", ""},
        {"make", ""},
        {"platform", {{"name", context.platformName}, {"version", context.platformVersion}}},
        {"locale",
         {{"code", context.localeCode},
          {"language", context.language},
          {"country", context.country}}}}},
      {"session",
       {{"session_id", ""},
        {"start_timestamp", event.timestamp},
        {"stop_timestamp", event.timestamp}}},
      {"attributes", attributes},
      {"metrics", metrics}};
}
