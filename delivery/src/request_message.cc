#include "request_message.h"

#include <simdjson.h>

#include <algorithm>
#include <array>
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

// A member of the message, present exactly once: with a repeated member,
// which one the game meant is unknown.
simdjson::dom::element Member(simdjson::dom::object message, const char* key) {
  simdjson::dom::element value;
  int seen = 0;
  for (simdjson::dom::key_value_pair field : message) {
    if (field.key != key) continue;
    value = field.value;
    ++seen;
  }
  if (seen == 0) throw MalformedMessage(std::string("\"") + key + "\" is missing");
  if (seen > 1) throw MalformedMessage(std::string("\"") + key + "\" appears more than once");
  return value;
}

std::string_view StringMember(simdjson::dom::object message, const char* key) {
  std::string_view text;
  if (Member(message, key).get(text)) {
    throw MalformedMessage(std::string("\"") + key + "\" is not a string");
  }
  return text;
}

// A table of the bytes in `marks`, and those between `low` and `high` on
// either side of the range when `outside`, for checks made once per byte.
constexpr std::array<bool, 256> ByteTable(std::string_view marks, int low, int high, bool outside) {
  std::array<bool, 256> table{};
  for (int c = 0; c < 256; ++c) table[c] = outside ? c < low || c > high : false;
  for (char c : marks) table[static_cast<unsigned char>(c)] = true;
  return table;
}

constexpr std::array<bool, 256> kTokenChars = [] {
  std::array<bool, 256> table = ByteTable("!#$%&'*+-.^_`|~", 0, 0, false);
  for (int c = '0'; c <= '9'; ++c) table[c] = true;
  for (int c = 'a'; c <= 'z'; ++c) table[c] = true;
  for (int c = 'A'; c <= 'Z'; ++c) table[c] = true;
  return table;
}();

// Bytes a URL cannot carry as they are: blanks, control characters,
// non-ASCII and a few reserved marks.
constexpr std::array<bool, 256> kNeedsEncoding = ByteTable("\"<>\\^`{|}", 0x21, 0x7e, true);

bool IsTokenChar(char c) { return kTokenChars[static_cast<unsigned char>(c)]; }

bool IsControl(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return (byte < 0x20 && byte != '\t') || byte == 0x7f;
}

// Why `line` cannot be sent as a header line; "" when it can.
std::string HeaderLineProblem(std::string_view line) {
  if (line.size() > kMaxHeaderLineBytes) {
    return "header line of " + std::to_string(line.size()) + " bytes is longer than " +
           std::to_string(kMaxHeaderLineBytes);
  }
  if (line.find_first_of("\r\n") != std::string_view::npos) {
    return "header line contains a line break";
  }
  const std::size_t colon = line.find(':');
  const std::string_view name = line.substr(0, colon);
  if (colon == std::string_view::npos || name.empty() ||
      !std::all_of(name.begin(), name.end(), IsTokenChar)) {
    return "header line \"" + std::string(line) + "\" is not \"Name: value\"";
  }
  if (std::any_of(line.begin() + colon, line.end(), IsControl)) {
    return "header line \"" + std::string(name) + "\" contains a control character";
  }
  return "";
}

bool IsKeptHeader(std::string_view line) {
  const std::string_view name = line.substr(0, line.find(':'));
  return (name.size() == 9 && StartsWithNoCase(name, "x-api-key")) ||
         (name.size() == 12 && StartsWithNoCase(name, "content-type"));
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
    const std::string problem = HeaderLineProblem(line);
    if (!problem.empty()) throw MalformedMessage(problem);
    if (IsKeptHeader(line)) kept.emplace_back(line);
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

std::string TargetProblem(const std::string& target) {
  if (target.size() <= kMaxTargetBytes) return "";
  return "url path and query of " + std::to_string(target.size()) + " bytes are longer than " +
         std::to_string(kMaxTargetBytes);
}

bool NeedsEncoding(unsigned char c) { return kNeedsEncoding[c]; }

std::string EncodeUnsafeBytes(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string encoded;
  encoded.reserve(text.size());
  for (std::size_t start = 0; start < text.size();) {
    std::size_t end = start;
    while (end < text.size() && !NeedsEncoding(static_cast<unsigned char>(text[end]))) ++end;
    encoded.append(text, start, end - start);
    if (end == text.size()) break;
    const auto byte = static_cast<unsigned char>(text[end]);
    encoded += '%';
    encoded += kHex[byte >> 4];
    encoded += kHex[byte & 0x0f];
    start = end + 1;
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
  const std::string_view rest =
      std::string_view(url).substr(pathStart, url.find('#', pathStart) - pathStart);
  std::string target =
      rest.empty() || rest[0] != '/' ? "/" + EncodeUnsafeBytes(rest) : EncodeUnsafeBytes(rest);
  const std::string problem = TargetProblem(target);
  if (!problem.empty()) throw MalformedMessage(problem);
  return target;
}

std::string UnsendableReason(const OutgoingRequest& request) {
  std::string problem = TargetProblem(request.target);
  if (request.target.empty() || request.target[0] != '/' ||
      std::any_of(request.target.begin(), request.target.end(),
                  [](char c) { return NeedsEncoding(static_cast<unsigned char>(c)); })) {
    problem = "target \"" + request.target.substr(0, 100) + "\" is not a path and query";
  }
  for (const std::string& line : request.headers) {
    if (problem.empty()) problem = HeaderLineProblem(line);
  }
  return problem;
}

}  // namespace Delivery
