#include "event_recorder.h"

#include "constants.h"
#include "event_serializer.h"
#include "http_client.h"

namespace Constants = Ostrel::Constants;

EventRecorder::EventRecorder(std::string projectId)
    : projectId(std::move(projectId)),
      baseUrl(Constants::baseUrl),
      apiVersion(Constants::apiVersion),
      recordPath(Constants::recordPath),
      batchPath(Constants::batchPath),
      projectKey(Constants::projectKey),
      apiKeyHeader(std::string("X-Api-Key: ") + Constants::kApiKey) {}

void EventRecorder::Append(AnalyticsEvent event) { buffer.push_back(std::move(event)); }

bool EventRecorder::FlushDue() const {
  return buffer.size() >= Constants::flushEventsThresholdAmount;
}

bool EventRecorder::Flush(TaviServices::HttpClient& httpClient,
                          const Ostrel::SerializationContext& context) {
  if (buffer.empty()) return false;
  std::string url = UploadUrl(buffer.size());
  std::vector<std::string> headers{apiKeyHeader, Constants::kContentTypeHeader};
  if (!httpClient.SendEvents(std::move(url), std::move(headers), {buffer, context})) return false;
  buffer.clear();
  return true;
}

// The project value goes in unchanged, without percent-encoding.
std::string EventRecorder::UploadUrl(std::size_t eventCount) const {
  const std::string& path = eventCount < 2 ? recordPath : batchPath;
  return baseUrl + "/" + apiVersion + "/" + path + "?" + projectKey + "=" + projectId;
}
