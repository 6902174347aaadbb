#include "request_message.h"

#include <cctype>
#include <cstdio>
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

std::string LowerName(const std::string& line, std::size_t colon) {
  std::string name = line.substr(0, colon);
  for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return name;
}

// The header lines the collector needs; any other line is left out.
std::vector<std::string> KeptHeaderLines(const json& message) {
  const json& value = Member(message, "headers");
  if (!value.is_array()) throw MalformedMessage("\"headers\" is not an array");
  std::vector<std::string> kept;
  for (const json& item : value) {
    if (!item.is_string()) throw MalformedMessage("\"headers\" holds a non-string");
    const std::string& line = item.get_ref<const std::string&>();
    if (line.find_first_of("\r\n") != std::string::npos) {
      throw MalformedMessage("header line contains a line break");
    }
    std::size_t colon = line.find(':');
    if (colon == 0 || colon == std::string::npos) {
      throw MalformedMessage("header line \"" + line + "\" is not \"Name: value\"");
    }
    std::string name = LowerName(line, colon);
    if (name == "x-api-key" || name == "content-type") kept.push_back(line);
  }
  return kept;
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

OutgoingRequest ReadRequestMessage(const std::string& text) {
  json message = json::parse(text, nullptr, /*allow_exceptions=*/false);
  if (message.is_discarded()) throw MalformedMessage("not JSON text");
  if (!message.is_object()) throw MalformedMessage("not a JSON object");
  OutgoingRequest request;
  request.target = PathAndQuery(StringMember(message, "url"));
  request.headers = KeptHeaderLines(message);
  request.body = StringMember(message, "data");
  return request;
}

std::string PathAndQuery(const std::string& url) {
  std::size_t schemeEnd = url.find("://");
  if (schemeEnd == std::string::npos || schemeEnd == 0) {
    throw MalformedMessage("url \"" + url + "\" is not absolute");
  }
  std::size_t authorityStart = schemeEnd + 3;
  std::size_t pathStart = url.find_first_of("/?#", authorityStart);
  if (pathStart == authorityStart || authorityStart == url.size()) {
    throw MalformedMessage("url \"" + url + "\" has no host");
  }
  if (pathStart == std::string::npos) return "/";
  std::string rest = url.substr(pathStart, url.find('#', pathStart) - pathStart);
  return EncodeUnsafeBytes(rest.empty() || rest[0] != '/' ? "/" + rest : rest);
}

}  // namespace Delivery
