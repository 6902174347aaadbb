// Where the recorder hands its upload requests.
#pragma once

#include <string>
#include <vector>

struct EventBatch;

namespace TaviServices {

class HttpClient {
 public:
  // True when the request was accepted for delivery; false keeps the
  // caller's events for the next attempt.
  virtual bool SendRequest(std::string url, std::vector<std::string> headers, std::string body) = 0;

  // An upload whose body is a batch of events. This default writes the body
  // and hands it to SendRequest; a client that can write the events straight
  // into its own format overrides it.
  virtual bool SendEvents(std::string url, std::vector<std::string> headers,
                          const EventBatch& batch);

 protected:
  // Never deleted through the interface.
  ~HttpClient() = default;
};

}  // namespace TaviServices
