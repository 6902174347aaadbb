#include "event_recorder.h"

#include "constants.h"
#include "event_serializer.h"
#include "http_client.h"
#include "services_client.h"

EventRecorder::EventRecorder(ServicesClient& owner)
    : owner(owner),
      baseUrl(Constants::baseUrl),
      apiVersion(Constants::apiVersion),
      recordPath(Constants::recordPath),
      batchPath(Constants::batchPath),
      projectKey(Constants::projectKey),
      apiKeyHeader(std::string("X-Api-Key: ") + Constants::apiKey) {}

bool EventRecorder::RecordEvent(AnalyticsEvent event, std::string category) {
  event.SetCategory(std::move(category));
  buffer.push_back(std::move(event));
  if (buffer.size() < Constants::flushEventsThresholdAmount) return true;
  return Flush();
}

void EventRecorder::Append(AnalyticsEvent event) { buffer.push_back(std::move(event)); }

bool EventRecorder::Flush() {
  TaviServices::HttpClient* httpClient = owner.HttpClient();
  if (httpClient == nullptr || buffer.empty()) return false;
  std::string url = UploadUrl(buffer.size());
  std::vector<std::string> headers{apiKeyHeader, Constants::contentTypeHeader};
  if (!httpClient->SendEvents(std::move(url), std::move(headers), {buffer, owner.Context()})) {
    return false;
  }
  buffer.clear();
  return true;
}

// The project value goes in unchanged, without percent-encoding.
std::string EventRecorder::UploadUrl(std::size_t eventCount) const {
  const std::string& path = eventCount < 2 ? recordPath : batchPath;
  return baseUrl + "/" + apiVersion + "/" + path + "?" + projectKey + "=" + owner.ProjectId();
}
