// Request message texts shaped like the ones the analytics library queues.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

inline const std::string kApiKeyLine = "X-Api-Key: Qm7TzR2vLx9KpB4nWc8HdY1sJf6GuE3aVo5XiNt0";
inline const std::string kContentTypeLine = "Content-Type: application/json";

inline nlohmann::json TestEvent(const std::string& eventType, long long timestamp) {
  return {{"event_type", eventType},
          {"event_timestamp", timestamp},
          {"arrival_timestamp", timestamp},
          {"event_version", "1.0"},
          {"application", {{"app_id", "app-42"}}},
          {"client", {{"client_id", "client-7"}, {"cognito_id", ""}}},
          {"device", {{"locale", {{"code", "en-US"}}}}},
          {"session", {{"session_id", "s-0001"}}},
          {"attributes", {{"user_id", "u-1001"}}},
          {"metrics", nullptr}};
}

// A message for `body` (one event object or an array of them) to the record
// or batch path of the build-time service address.
inline std::string TestMessage(const nlohmann::json& body,
                               const std::string& project = "sample-game",
                               std::vector<std::string> headers = {kApiKeyLine, kContentTypeLine}) {
  std::string path = body.is_array() ? "/v1/win/batch" : "/v1/win/record";
  return nlohmann::json{{"data", body.dump()},
                        {"headers", headers},
                        {"url", "https://analytics.example.com" + path + "?project=" + project}}
      .dump();
}
