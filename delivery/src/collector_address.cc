#include "collector_address.h"

#include <cctype>

#include "ascii.h"

namespace Delivery {
namespace {

void CheckPort(const std::string& port) {
  bool digits = !port.empty() && port.size() <= 5;
  for (char c : port) digits = digits && std::isdigit(static_cast<unsigned char>(c));
  if (!digits || std::stoi(port) < 1 || std::stoi(port) > 65535) {
    throw InvalidCollectorUrl("port \"" + port + "\" is not a number from 1 to 65535");
  }
}

// Checks "host", "host:port", "[v6]" or "[v6]:port".
void CheckAuthority(const std::string& authority) {
  if (authority.find('@') != std::string::npos) {
    throw InvalidCollectorUrl("user information is not supported");
  }
  std::size_t portColon = std::string::npos;
  if (!authority.empty() && authority[0] == '[') {
    std::size_t close = authority.find(']');
    if (close == std::string::npos || close == 1) throw InvalidCollectorUrl("malformed IPv6 host");
    if (close + 1 < authority.size()) {
      if (authority[close + 1] != ':') throw InvalidCollectorUrl("malformed IPv6 host");
      portColon = close + 1;
    }
  } else {
    portColon = authority.find(':');
    if (authority.empty() || portColon == 0) throw InvalidCollectorUrl("no host");
  }
  if (portColon != std::string::npos) CheckPort(authority.substr(portColon + 1));
}

}  // namespace

CollectorAddress::CollectorAddress(const std::string& url) {
  for (char c : url) {
    if (static_cast<unsigned char>(c) <= 0x20 || c == 0x7f) {
      throw InvalidCollectorUrl("\"" + url + "\" contains a blank or control character");
    }
  }
  std::size_t schemeEnd = url.find("://");
  if (schemeEnd == std::string::npos) throw InvalidCollectorUrl("\"" + url + "\" has no scheme");
  std::string scheme = AsciiLower(url.substr(0, schemeEnd));
  if (scheme != "http" && scheme != "https") {
    throw InvalidCollectorUrl("scheme \"" + scheme + "\" is not http or https");
  }
  std::size_t authorityStart = schemeEnd + 3;
  std::size_t authorityEnd = url.find_first_of("/?#", authorityStart);
  CheckAuthority(url.substr(authorityStart, authorityEnd - authorityStart));
  if (authorityEnd != std::string::npos && url.substr(authorityEnd) != "/") {
    throw InvalidCollectorUrl("\"" + url +
                              "\" has a path, query or fragment (the message's path and query "
                              "are used)");
  }
  origin = url.substr(0, authorityEnd);
}

}  // namespace Delivery
