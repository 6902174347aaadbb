#include "delivery/collector_address.h"

#include <cctype>
#include <cstdio>

#include "delivery/request_message.h"

namespace Delivery {
namespace {

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

bool AllDigits(const std::string& text) {
  if (text.empty()) return false;
  for (char c : text) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  }
  return true;
}

void CheckPort(const std::string& port) {
  if (!AllDigits(port) || port.size() > 5 || std::stoi(port) < 1 || std::stoi(port) > 65535) {
    throw InvalidCollectorUrl("port \"" + port + "\" is not a number from 1 to 65535");
  }
}

// Checks "host", "host:port", "[v6]" or "[v6]:port"; user info is not accepted.
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

bool NeedsEncoding(unsigned char c) {
  static const std::string unsafe = "\"<>\\^`{|}";
  return c <= 0x20 || c >= 0x7f || unsafe.find(static_cast<char>(c)) != std::string::npos;
}

std::string EncodeUnsafeBytes(const std::string& text) {
  std::string encoded;
  for (char c : text) {
    unsigned char byte = static_cast<unsigned char>(c);
    if (!NeedsEncoding(byte)) {
      encoded += c;
      continue;
    }
    char escape[4];
    std::snprintf(escape, sizeof escape, "%%%02X", byte);
    encoded += escape;
  }
  return encoded;
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
  std::string scheme = Lower(url.substr(0, schemeEnd));
  if (scheme != "http" && scheme != "https") {
    throw InvalidCollectorUrl("scheme \"" + scheme + "\" is not http or https");
  }
  if (url.find_first_of("?#") != std::string::npos) {
    throw InvalidCollectorUrl("\"" + url + "\" has a query or fragment");
  }
  std::size_t authorityStart = schemeEnd + 3;
  std::size_t pathStart = url.find('/', authorityStart);
  CheckAuthority(url.substr(authorityStart, pathStart - authorityStart));
  base = url;
  while (base.back() == '/') base.pop_back();
}

std::string CollectorAddress::TargetFor(const std::string& messageUrl) const {
  return base + EncodeUnsafeBytes(PathAndQuery(messageUrl));
}

}  // namespace Delivery
