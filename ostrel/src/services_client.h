// The object behind the exported interface: it holds the context every
// upload carries, owns the event recorder and drives it, and opens and closes
// the session.
#pragma once

#include <cstdint>
#include <deque>
#include <string>

#include "analytics_event.h"
#include "event_category.h"
#include "event_recorder.h"
#include "serialization_context.h"

namespace TaviServices {
class HttpClient;
class UtilsClient;
}  // namespace TaviServices

class ServicesClient {
 public:
  // Opens the session: "session.start" is buffered, nothing is flushed.
  explicit ServicesClient(std::string projectId);

  ServicesClient(const ServicesClient&) = delete;
  ServicesClient& operator=(const ServicesClient&) = delete;

  // Session id from the utilities client (at most 27 bytes); a missing client
  // id comes from the store, or is generated and stored.
  void AttachUtilities(TaviServices::UtilsClient* utils);

  void SetUserId(std::string userId);
  // Writes the store only when the identifier changes.
  void SetClientId(std::string clientId);
  // A changed attribution records "init_attribution_pc" and flushes at once.
  void SetAttribution(std::string attribution);
  void SetAppData(std::string appId, std::string packageName, std::string title,
                  std::string versionName, std::string versionCode);
  // The first five-byte code also fixes language and country.
  void SetDeviceLocale(std::string code);
  void SetPlatform(std::string name, std::string version);

  // Sets the category, buffers the event and flushes once 30 or more events
  // are buffered. True when no flush was due, otherwise the flush result.
  bool RecordEvent(AnalyticsEvent event, Ostrel::EventCategory category);

  // Everything buffered, in one request to the HTTP client, written with the
  // context as it is now. False, keeping every event, without an HTTP client,
  // when the client refuses, or when nothing is buffered.
  bool Flush();

  // The timed flush rule: passes when the clock went back or more than 30
  // seconds went by since the last check; then flushes anything buffered and
  // restarts the interval, flushed or not.
  void FlushIfDue(std::int64_t nowSeconds);

  // Closes the session: "session.stop" is buffered and everything is
  // flushed while the HTTP client is still attached.
  void Teardown();

  const Ostrel::SerializationContext& Context() const { return context; }
  const std::deque<AnalyticsEvent>& BufferedEvents() const { return recorder.Buffer(); }
  void SetHttpClient(TaviServices::HttpClient* client) { httpClient = client; }

 private:
  static constexpr std::size_t kMaxSessionIdLength = 27;

  std::string attribution;
  Ostrel::SerializationContext context;
  EventRecorder recorder;
  TaviServices::HttpClient* httpClient = nullptr;
  TaviServices::UtilsClient* utilsClient = nullptr;
  std::int64_t lastFlushTime = 0;
};
