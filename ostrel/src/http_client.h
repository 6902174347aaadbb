// Where the recorder hands its upload requests.
#pragma once

#include <string>
#include <vector>

namespace Ostrel {
struct EventBatch;
}  // namespace Ostrel

namespace TaviServices {

class HttpClient {
 public:
  // The one operation every client implements. True when the request was
  // accepted for delivery; false keeps the caller's events for the next
  // attempt.
  virtual bool SendRequest(std::string url, std::vector<std::string> headers, std::string body) = 0;

  // An upload whose body is a batch of events: by definition SendRequest with
  // the batch's body, which this default writes. A client that can write the
  // events straight into its own format may override it with the same result.
  virtual bool SendEvents(std::string url, std::vector<std::string> headers,
                          const Ostrel::EventBatch& batch);

 protected:
  // Never deleted through the interface.
  ~HttpClient() = default;
};

}  // namespace TaviServices
