// The collector the requests go to: scheme, host and port, which replace
// those of each message's url.
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

class CollectorAddress {
 public:
  // Throws InvalidCollectorUrl unless `url` is scheme "http" or "https"
  // (any case), "://", a host (name, IPv4 or bracketed IPv6) with an
  // optional port 1-65535, and at most a final "/": no path, query,
  // fragment, user information, blanks or control characters.
  explicit CollectorAddress(const std::string& url);

  // "scheme://host[:port]", without a final "/".
  const std::string& Origin() const { return origin; }

  // The URL a request with this path and query (see PathAndQuery) goes to.
  std::string Target(const std::string& pathAndQuery) const { return origin + pathAndQuery; }

 private:
  std::string origin;
};

}  // namespace Delivery
