#include "json_escape.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "plain_ascii.h"
#include "utf8.h"

namespace Ostrel {

namespace {

// The replacement of one ASCII byte; length 0 means the byte is copied.
struct Escape {
  std::size_t length = 0;
  char text[8] = {};
};

struct EscapeTable {
  Escape ascii[0x80];
};

constexpr Escape EscapeOnce(unsigned char byte) {
  constexpr char kHex[] = "0123456789abcdef";
  switch (byte) {
    case '"':
      return {2, {'\\', '"'}};
    case '\\':
      return {2, {'\\', '\\'}};
    case '\b':
      return {2, {'\\', 'b'}};
    case '\f':
      return {2, {'\\', 'f'}};
    case '\n':
      return {2, {'\\', 'n'}};
    case '\r':
      return {2, {'\\', 'r'}};
    case '\t':
      return {2, {'\\', 't'}};
    default:
      break;
  }
  if (byte >= 0x20) return {};
  return {6, {'\\', 'u', '0', '0', kHex[byte >> 4], kHex[byte & 0xF]}};
}

// The escape of an escape: its backslashes (and quotation marks) escaped again.
constexpr Escape EscapeTwice(unsigned char byte) {
  const Escape once = EscapeOnce(byte);
  Escape twice;
  for (std::size_t i = 0; i < once.length; ++i) {
    const char c = once.text[i];
    if (c == '\\' || c == '"') twice.text[twice.length++] = '\\';
    twice.text[twice.length++] = c;
  }
  return twice;
}

constexpr EscapeTable MakeTable(JsonDepth depth) {
  EscapeTable table;
  for (unsigned char byte = 0; byte < 0x80; ++byte) {
    table.ascii[byte] = depth == JsonDepth::kOnce ? EscapeOnce(byte) : EscapeTwice(byte);
  }
  return table;
}

constexpr EscapeTable kEscapeOnceTable = MakeTable(JsonDepth::kOnce);
constexpr EscapeTable kEscapeTwiceTable = MakeTable(JsonDepth::kTwice);

constexpr std::string_view kReplacementCharacter = "\xEF\xBF\xBD";

}  // namespace

void AppendEscapedSlowly(TextBuffer& out, std::string_view text, JsonDepth depth) {
  const EscapeTable& table = depth == JsonDepth::kOnce ? kEscapeOnceTable : kEscapeTwiceTable;
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const auto* const end = p + text.size();
  const auto* copyFrom = p;  // bytes from here on are still to be appended
  auto flush = [&](const unsigned char* upTo) {
    out.Append(
        {reinterpret_cast<const char*>(copyFrom), static_cast<std::size_t>(upTo - copyFrom)});
  };
  while ((p = SkipPlain(p, end)) != end) {
    if (*p < 0x80) {
      const Escape& escape = table.ascii[*p];
      flush(p);
      out.Append({escape.text, escape.length});
      copyFrom = ++p;
      continue;
    }
    const Utf8Sequence sequence = ScanUtf8(p, end);
    if (!sequence.valid) {
      flush(p);
      out.Append(kReplacementCharacter);
      copyFrom = p + sequence.length;
    }
    p += sequence.length;
  }
  flush(end);
}

std::string Escaped(std::string_view text, JsonDepth depth) {
  TextBuffer out;
  AppendEscaped(out, text, depth);
  return std::string(out.View());
}

}  // namespace Ostrel
