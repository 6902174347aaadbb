#include "request_message.h"

#include <simdjson.h>

#include <cstdio>
#include <cstring>
#include <memory>

#include "ascii.h"

namespace Delivery {
namespace {

// Messages up to this size are read by a parser each thread keeps (its
// buffers stay allocated for the next message); larger ones by a parser of
// their own, so a rare huge message does not pin its memory.
constexpr std::size_t kKeptParserLimit = 1 << 20;

// A validating JSON parser (simdjson's document parser: the whole text,
// its UTF-8 and every escape are checked) and the padded copy of the text
// it reads.
class MessageParser {
 public:
  simdjson::dom::element Parse(std::string_view text) {
    const std::size_t padded = text.size() + simdjson::SIMDJSON_PADDING;
    if (padded > capacity) {
      buffer = std::make_unique<char[]>(padded);
      capacity = padded;
    }
    std::memcpy(buffer.get(), text.data(), text.size());
    std::memset(buffer.get() + text.size(), 0, simdjson::SIMDJSON_PADDING);
    simdjson::dom::element root;
    if (parser.parse(buffer.get(), text.size(), /*realloc_if_needed=*/false).get(root)) {
      throw MalformedMessage("not JSON text");
    }
    return root;
  }

 private:
  simdjson::dom::parser parser;
  std::unique_ptr<char[]> buffer;
  std::size_t capacity = 0;
};

simdjson::dom::element Member(simdjson::dom::object message, const char* key) {
  simdjson::dom::element value;
  if (message[key].get(value)) throw MalformedMessage(std::string("\"") + key + "\" is missing");
  return value;
}

std::string_view StringMember(simdjson::dom::object message, const char* key) {
  std::string_view text;
  if (Member(message, key).get(text)) {
    throw MalformedMessage(std::string("\"") + key + "\" is not a string");
  }
  return text;
}

// The header lines the collector needs; any other line is left out.
std::vector<std::string> KeptHeaderLines(simdjson::dom::object message) {
  simdjson::dom::array lines;
  if (Member(message, "headers").get(lines)) {
    throw MalformedMessage("\"headers\" is not an array");
  }
  std::vector<std::string> kept;
  for (simdjson::dom::element item : lines) {
    std::string_view line;
    if (item.get(line)) throw MalformedMessage("\"headers\" holds a non-string");
    if (line.find_first_of("\r\n") != std::string_view::npos) {
      throw MalformedMessage("header line contains a line break");
    }
    std::size_t colon = line.find(':');
    if (colon == 0 || colon == std::string_view::npos) {
      throw MalformedMessage("header line \"" + std::string(line) + "\" is not \"Name: value\"");
    }
    const std::string name = AsciiLower(line.substr(0, colon));
    if (name == "x-api-key" || name == "content-type") kept.emplace_back(line);
  }
  return kept;
}

OutgoingRequest ReadParsed(simdjson::dom::element root) {
  simdjson::dom::object message;
  if (root.get(message)) throw MalformedMessage("not a JSON object");
  OutgoingRequest request;
  request.body = std::string(StringMember(message, "data"));
  request.headers = KeptHeaderLines(message);
  request.target = PathAndQuery(std::string(StringMember(message, "url")));
  return request;
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

OutgoingRequest ReadRequestMessage(std::string_view text) {
  if (text.size() > kKeptParserLimit) {
    MessageParser parser;
    return ReadParsed(parser.Parse(text));
  }
  thread_local MessageParser parser;
  return ReadParsed(parser.Parse(text));
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
