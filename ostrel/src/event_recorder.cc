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
      apiKeyHeader(std::string("X-Api-Key: ") + Constants::kApiKey),
      recordUrl(UploadUrl(recordPath)),
      batchUrl(UploadUrl(batchPath)) {}

void EventRecorder::Append(AnalyticsEvent&& event) { buffer.push_back(std::move(event)); }

bool EventRecorder::FlushDue() const {
  return buffer.size() >= Constants::flushEventsThresholdAmount;
}

bool EventRecorder::Flush(TaviServices::HttpClient& httpClient,
                          const Ostrel::SerializationContext& context) {
  if (buffer.empty()) return false;
  std::string url = buffer.size() < 2 ? recordUrl : batchUrl;
  std::vector<std::string> headers{apiKeyHeader, Constants::kContentTypeHeader};
  if (!httpClient.SendEvents(std::move(url), std::move(headers), {buffer, context})) return false;
  buffer.clear();
  return true;
}

// The project value goes in unchanged, without percent-encoding.
std::string EventRecorder::UploadUrl(const std::string& path) const {
  return baseUrl + "/" + apiVersion + "/" + path + "?" + projectKey + "=" + projectId;
}
