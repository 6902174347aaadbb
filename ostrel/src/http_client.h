// Where the recorder hands its upload requests.
#pragma once

#include <string>
#include <vector>

namespace TaviServices {

class HttpClient {
 public:
  // True when the request was accepted for delivery; false keeps the
  // caller's events for the next attempt.
  virtual bool SendRequest(std::string url, std::vector<std::string> headers,
                           std::string body) = 0;

 protected:
  // Never deleted through the interface.
  ~HttpClient() = default;
};

}  // namespace TaviServices
