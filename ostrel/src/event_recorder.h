// Buffers events and flushes them into one upload request: one event goes to
// the record endpoint as an object, several to the batch endpoint as an array.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "analytics_event.h"

class ServicesClient;

class EventRecorder {
 public:
  explicit EventRecorder(ServicesClient& owner);

  // Sets the category, buffers a copy and flushes once 30 or more events are
  // buffered. True when no flush was due, otherwise the flush result.
  bool RecordEvent(AnalyticsEvent event, std::string category);

  // Buffers the event as it is: no category, no threshold.
  void Append(AnalyticsEvent event);

  // Hands every buffered event to the owner's HTTP client in one request,
  // serialised with the owner's context as it is now. The buffer is emptied
  // only when the request is accepted; without an HTTP client nothing happens.
  bool Flush();

  const std::deque<AnalyticsEvent>& Buffer() const { return buffer; }

 private:
  std::string UploadUrl(std::size_t eventCount) const;

  ServicesClient& owner;
  std::string baseUrl;
  std::string apiVersion;
  std::string recordPath;
  std::string batchPath;
  std::string projectKey;
  std::string apiKeyHeader;
  std::deque<AnalyticsEvent> buffer;
};
