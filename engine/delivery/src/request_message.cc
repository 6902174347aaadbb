#include "delivery/request_message.h"

#include <nlohmann/json.hpp>

namespace Delivery {
namespace {

using nlohmann::json;

const json& Member(const json& message, const char* key) {
  auto found = message.find(key);
  if (found == message.end()) {
    throw MalformedMessage(std::string("\"") + key + "\" is missing");
  }
  return *found;
}

std::string StringMember(const json& message, const char* key) {
  const json& value = Member(message, key);
  if (!value.is_string()) {
    throw MalformedMessage(std::string("\"") + key + "\" is not a string");
  }
  return value.get<std::string>();
}

void CheckHeaderLine(const std::string& line) {
  if (line.find_first_of("\r\n") != std::string::npos) {
    throw MalformedMessage("header line contains a line break");
  }
  std::size_t colon = line.find(':');
  if (colon == 0 || colon == std::string::npos) {
    throw MalformedMessage("header line \"" + line + "\" is not \"Name: value\"");
  }
}

std::vector<std::string> HeaderLines(const json& message) {
  const json& value = Member(message, "headers");
  if (!value.is_array()) throw MalformedMessage("\"headers\" is not an array");
  std::vector<std::string> lines;
  for (const json& line : value) {
    if (!line.is_string()) throw MalformedMessage("\"headers\" holds a non-string");
    lines.push_back(line.get<std::string>());
    CheckHeaderLine(lines.back());
  }
  return lines;
}

}  // namespace

RequestMessage ParseRequestMessage(const std::string& text) {
  json message = json::parse(text, nullptr, /*allow_exceptions=*/false);
  if (message.is_discarded()) throw MalformedMessage("not JSON text");
  if (!message.is_object()) throw MalformedMessage("not a JSON object");
  RequestMessage parsed{StringMember(message, "url"), HeaderLines(message),
                        StringMember(message, "data")};
  PathAndQuery(parsed.url);  // rejects a URL that cannot be forwarded
  return parsed;
}

std::string PathAndQuery(const std::string& url) {
  std::size_t schemeEnd = url.find("://");
  if (schemeEnd == std::string::npos || schemeEnd == 0) {
    throw MalformedMessage("url \"" + url + "\" is not absolute");
  }
  std::size_t authorityStart = schemeEnd + 3;
  std::size_t pathStart = url.find_first_of("/?#", authorityStart);
  if (pathStart == authorityStart) {
    throw MalformedMessage("url \"" + url + "\" has no host");
  }
  if (pathStart == std::string::npos) return "/";
  std::string rest = url.substr(pathStart, url.find('#', pathStart) - pathStart);
  return rest.empty() || rest[0] != '/' ? "/" + rest : rest;
}

}  // namespace Delivery
