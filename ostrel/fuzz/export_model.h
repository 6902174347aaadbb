// What the exports must produce, kept beside the real library while a fuzz
// input plays a call sequence: the session state the calls change, the events
// buffered and, at every flush the rules call for, the request message that
// must be queued, written as the library must write it (compact, keys sorted,
// invalid UTF-8 replaced by U+FFFD).
#pragma once

#include <cstdint>
#include <deque>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "event_category.h"

struct ModelEvent {
  std::string name;
  Ostrel::EventCategory category;
  std::int64_t timestamp = 0;
  std::vector<std::pair<std::string, std::string>> attributes;
  std::vector<std::pair<std::string, double>> metrics;
};

// The exact text the queue must hold: nlohmann's compact writing of
// {"data","headers","url"} with invalid UTF-8 replaced.
struct ExpectedMessage {
  std::string text;
};

// The context the setters change, read when a flush serialises the events.
struct ModelContext {
  std::string userId;
  std::string clientId;
  std::string platformName = "Windows";
  std::string platformVersion;
  std::vector<std::string> appData = std::vector<std::string>(5);
  std::string localeCode;
  std::string language;
  std::string country;
};

struct ModelSession {
  std::string projectId;
  std::string attribution;
  ModelContext context;
  std::vector<ModelEvent> buffer;
  std::int64_t lastFlushTime = 0;
};

class ExportModel {
 public:
  // Seconds as the clock seam reads them; each call that stamps an event
  // takes the current reading.
  void Init(const std::string& projectId, std::int64_t now);
  void Update(std::int64_t now);
  void Destroy(std::int64_t now);

  void SetUser(std::string userId);
  void SetClient(std::string clientId);
  void SetAttribution(const std::string& attribution, std::int64_t now);
  void SetAppData(std::vector<std::string> fields);
  void SetDeviceLocale(std::string code);
  void SetPlatform(std::string name, std::string version);

  // Game events (category "a"); `event` carries name, attributes, metrics.
  void RecordGameEvent(ModelEvent event, std::int64_t now);
  // The attributes text as the library reads it ("null" for a null pointer).
  void RecordCustom(std::string name, const std::string& attributesText, std::int64_t now);

  std::deque<ExpectedMessage>& Queue() { return queue; }

 private:
  void Record(ModelEvent event, Ostrel::EventCategory category, std::int64_t now);
  void Append(ModelEvent event, std::int64_t now);
  void Flush();
  nlohmann::json EventJson(const ModelEvent& event) const;

  std::optional<ModelSession> session;
  std::deque<ExpectedMessage> queue;
};
