// The upload request the analytics library queues for the game to send.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

namespace Delivery {

// One queued request: where it goes, its header lines and its body.
struct RequestMessage {
  std::string url;                   // complete URL, e.g. "https://host/v1/win/record?project=p"
  std::vector<std::string> headers;  // complete header lines, "Name: value"
  std::string data;                  // request body, sent unchanged
};

// Raised for a text that is not a well-formed request message; what() says
// which part is wrong.
class MalformedMessage : public std::runtime_error {
 public:
  explicit MalformedMessage(const std::string& what)
      : std::runtime_error("malformed request message: " + what) {}
};

// Parses the compact JSON text {"data":"...","headers":["..."],"url":"..."}.
// Each member must be present with its type; a header line must have the
// form "Name: value" and must not contain a line break (it would inject
// further headers). Throws MalformedMessage otherwise.
RequestMessage ParseRequestMessage(const std::string& text);

// The path and query of an absolute http(s) URL ("/v1/win/batch?project=p"),
// without any fragment; "/" when the URL has no path. Throws
// MalformedMessage when `url` is not of the form scheme://authority[...].
std::string PathAndQuery(const std::string& url);

}  // namespace Delivery
