// Buffers events and flushes them into one upload request: one event goes to
// the record endpoint as an object, several to the batch endpoint as an array.
// The recorder only buffers and writes; whoever drives it (the services
// client) decides when to flush and passes the HTTP client and the context.
#pragma once

#include <cstddef>
#include <deque>
#include <string>

#include "analytics_event.h"

namespace TaviServices {
class HttpClient;
}  // namespace TaviServices

namespace Ostrel {
struct SerializationContext;
}  // namespace Ostrel

class EventRecorder {
 public:
  // Every upload URL carries `projectId` unchanged as its "project" value.
  explicit EventRecorder(std::string projectId);

  // Buffers the event as it is, at the back.
  void Append(AnalyticsEvent&& event);

  // True once 30 or more events are buffered.
  bool FlushDue() const;

  // Hands every buffered event to `httpClient` in one request, written with
  // `context`. The buffer is emptied only when the request is accepted; an
  // empty buffer sends nothing and returns false.
  bool Flush(TaviServices::HttpClient& httpClient, const Ostrel::SerializationContext& context);

  const std::deque<AnalyticsEvent>& Buffer() const { return buffer; }

 private:
  std::string UploadUrl(const std::string& path) const;

  std::string projectId;
  std::string baseUrl;
  std::string apiVersion;
  std::string recordPath;
  std::string batchPath;
  std::string projectKey;
  std::string apiKeyHeader;
  std::string recordUrl;  // the upload URLs, written once
  std::string batchUrl;
  std::deque<AnalyticsEvent> buffer;
};
