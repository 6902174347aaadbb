// The request message Ostrel queues for the game to send, read into the
// parts the outbox keeps.
#pragma once

#include <cstddef>
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

// What any collector can take: the target (after percent-encoding) and each
// header line at most this long. Longer ones are refused as malformed
// (libcurl, or the collector, would fail them on every attempt).
inline constexpr std::size_t kMaxTargetBytes = 8192;
inline constexpr std::size_t kMaxHeaderLineBytes = 8192;

struct OutgoingRequest {
  std::string target;                // path and query, see PathAndQuery
  std::vector<std::string> headers;  // the message's X-Api-Key and Content-Type lines
  std::string body;                  // the message's "data", byte for byte
};

// Reads the compact JSON text {"data":"...","headers":["..."],"url":"..."}.
// Each member must be present once with its type; a header line must have
// the form "Name: value", the name a token, the value without control
// characters other than tab (a line break would inject further headers, a
// NUL cut the value short), at most kMaxHeaderLineBytes long. Only the
// X-Api-Key and Content-Type lines are kept (names in any case), exactly as
// given, an empty value included. Throws MalformedMessage otherwise.
OutgoingRequest ReadRequestMessage(std::string_view text);

// Why the request could never be sent ("" when it can): a target or a
// header line past its limit, or a header line ReadRequestMessage refuses.
// For requests already in the outbox, stored under other rules.
std::string UnsendableReason(const OutgoingRequest& request);

// The path and query of an absolute URL ("/v1/win/batch?project=p"),
// without any fragment; "/" when the URL has no path. Bytes a URL cannot
// carry (blanks, control characters, non-ASCII, a few reserved marks) are
// percent-encoded: Ostrel copies the project value into the query as it is.
// Throws MalformedMessage when `url` is not of the form scheme://host[...]
// or its path and query are longer than kMaxTargetBytes.
std::string PathAndQuery(const std::string& url);

}  // namespace Delivery
