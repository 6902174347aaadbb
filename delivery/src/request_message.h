// The request message Ostrel queues for the game to send, read into the
// parts the outbox keeps.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace Delivery {

// Raised for a text that is not a well-formed request message; what() says
// which part is wrong.
class MalformedMessage : public std::runtime_error {
 public:
  explicit MalformedMessage(const std::string& what)
      : std::runtime_error("malformed request message: " + what) {}
};

struct OutgoingRequest {
  std::string target;                // path and query, see PathAndQuery
  std::vector<std::string> headers;  // the message's X-Api-Key and Content-Type lines
  std::string body;                  // the message's "data", byte for byte
};

// Reads the compact JSON text {"data":"...","headers":["..."],"url":"..."}.
// Each member must be present with its type; a header line must have the
// form "Name: value" without a line break (it would inject further
// headers). Only the X-Api-Key and Content-Type lines are kept (names in
// any case). Throws MalformedMessage otherwise.
OutgoingRequest ReadRequestMessage(std::string_view text);

// The path and query of an absolute URL ("/v1/win/batch?project=p"),
// without any fragment; "/" when the URL has no path. Bytes a URL cannot
// carry (blanks, control characters, non-ASCII, a few reserved marks) are
// percent-encoded: Ostrel copies the project value into the query as it is.
// Throws MalformedMessage when `url` is not of the form scheme://host[...].
std::string PathAndQuery(const std::string& url);

}  // namespace Delivery
