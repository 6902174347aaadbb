#include "reference_pipeline.h"

#include "constants.h"
#include "event_serializer.h"

namespace Reference {

using nlohmann::json;
using Ostrel::SerializationContext;
namespace Constants = Ostrel::Constants;

namespace {

json ApplicationObject(const SerializationContext& context) {
  return json{{"app_id", context.appId},
              {"package_name", context.packageName},
              {"version_name", context.versionName},
              {"version_code", context.versionCode},
              {"title", context.title},
              {"cognito_identity_pool_id", ""},
              {"sdk", {{"name", "Services"}, {"version", Constants::kVersion}}}};
}

json DeviceObject(const SerializationContext& context) {
  return json{{"model", ""},
              {"make", ""},
              {"platform", {{"name", context.platformName}, {"version", context.platformVersion}}},
              {"locale",
               {{"code", context.localeCode},
                {"language", context.language},
                {"country", context.country}}}};
}

json AttributesObject(const AnalyticsEvent& event, const std::string& prefix,
                      const SerializationContext& context) {
  json attributes = json::object();
  for (const auto& [key, value] : event.Attributes()) attributes[prefix + key] = value;
  attributes["user_id"] = context.userId;
  return attributes;
}

// Null, not an empty object, when the event has no metrics.
json MetricsObject(const AnalyticsEvent& event, const std::string& prefix) {
  json metrics;
  for (const auto& [key, value] : event.Metrics()) metrics[prefix + key] = value;
  return metrics;
}

}  // namespace

json SerializeEvent(const AnalyticsEvent& event, const SerializationContext& context) {
  const Ostrel::EventCategory& category = event.Category();
  const std::int64_t timestamp = event.Timestamp();
  return json{{"event_type", category.TypePrefix() + event.Name()},
              {"event_timestamp", timestamp},
              {"arrival_timestamp", timestamp},
              {"event_version", "1.0"},
              {"application", ApplicationObject(context)},
              {"client", {{"client_id", context.clientId}, {"cognito_id", ""}}},
              {"device", DeviceObject(context)},
              {"session",
               {{"session_id", context.sessionId},
                {"start_timestamp", timestamp},
                {"stop_timestamp", timestamp}}},
              {"attributes", AttributesObject(event, category.AttributeKeyPrefix(), context)},
              {"metrics", MetricsObject(event, category.MetricKeyPrefix())}};
}

std::string WriteJson(const json& document) {
  return document.dump(-1, ' ', false, json::error_handler_t::replace);
}

std::string SerializeBody(const std::deque<AnalyticsEvent>& events,
                          const SerializationContext& context) {
  if (events.size() == 1) return WriteJson(SerializeEvent(events.front(), context));
  json batch = json::array();
  for (const AnalyticsEvent& event : events) batch.push_back(SerializeEvent(event, context));
  return WriteJson(batch);
}

std::string WriteRequestMessage(const std::string& url, const std::vector<std::string>& headers,
                                const std::string& body) {
  json headerLines = json::array();
  for (const std::string& line : headers) headerLines.push_back(line);
  return WriteJson({{"url", url}, {"data", body}, {"headers", std::move(headerLines)}});
}

bool Queue::SendRequest(std::string url, std::vector<std::string> headers, std::string body) {
  messages.push_back(WriteRequestMessage(url, headers, body));
  return true;
}

bool Queue::SendEvents(std::string url, std::vector<std::string> headers,
                       const Ostrel::EventBatch& batch) {
  return SendRequest(std::move(url), std::move(headers),
                     SerializeBody(batch.events, batch.context));
}

}  // namespace Reference
