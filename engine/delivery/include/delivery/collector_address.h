// The address of the collector that receives the game's analytics requests.
#pragma once

#include <stdexcept>
#include <string>

namespace Delivery {

// Raised for a collector address that cannot be used; what() says why.
class InvalidCollectorUrl : public std::invalid_argument {
 public:
  explicit InvalidCollectorUrl(const std::string& what)
      : std::invalid_argument("invalid collector URL: " + what) {}
};

// A validated http or https base address such as "http://127.0.0.1:8765" or
// "https://collector.example/base/". It may carry a path prefix; trailing
// slashes are dropped, so Base() never ends in "/".
class CollectorAddress {
 public:
  // Throws InvalidCollectorUrl unless `url` is scheme "http" or "https"
  // (any case), "://", a host (name, IPv4 or bracketed IPv6) with an
  // optional port 1-65535, and an optional path, without query, fragment,
  // blanks or control characters.
  explicit CollectorAddress(const std::string& url);

  const std::string& Base() const { return base; }

  // The address a message is posted to: Base() followed by the path and
  // query of the message's URL. Bytes that may not appear in a URL (blanks,
  // control characters, non-ASCII, a few reserved marks) are
  // percent-encoded, because the library copies the project value into the
  // query unencoded. Throws MalformedMessage for a message URL that is not
  // absolute.
  std::string TargetFor(const std::string& messageUrl) const;

 private:
  std::string base;
};

}  // namespace Delivery
