// The straightforward way of writing uploads, kept as the oracle of the
// differential tests and the baseline of the benchmarks: an nlohmann json
// document per event, the batch dumped, a message document around it dumped
// again. Its bytes are the wire format by definition.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "analytics_event.h"
#include "http_client.h"
#include "serialization_context.h"

namespace Reference {

nlohmann::json SerializeEvent(const AnalyticsEvent& event,
                              const Ostrel::SerializationContext& context);

// Compact, UTF-8 copied, ill-formed UTF-8 replaced by U+FFFD.
std::string WriteJson(const nlohmann::json& document);

// One object for a single event, an array for several.
std::string SerializeBody(const std::deque<AnalyticsEvent>& events,
                          const Ostrel::SerializationContext& context);

std::string WriteRequestMessage(const std::string& url, const std::vector<std::string>& headers,
                                const std::string& body);

// A queueing HTTP client that writes every message the straightforward way.
class Queue final : public TaviServices::HttpClient {
 public:
  bool SendRequest(std::string url, std::vector<std::string> headers, std::string body) override;
  bool SendEvents(std::string url, std::vector<std::string> headers,
                  const Ostrel::EventBatch& batch) override;

  std::deque<std::string> messages;
};

}  // namespace Reference
