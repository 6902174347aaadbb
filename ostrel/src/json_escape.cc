#include "json_escape.h"

#include <cstddef>

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

struct Utf8Sequence {
  std::size_t length;  // bytes consumed
  bool valid;
};

// The sequence that starts with a non-ASCII byte at `p`. A well-formed one is
// copied whole. An ill-formed one is replaced by one U+FFFD that covers its
// lead byte and the continuation bytes that fitted; the first byte that does
// not fit starts the next sequence (a stray lead byte covers itself only).
Utf8Sequence ScanUtf8(const unsigned char* p, const unsigned char* end) {
  const unsigned char lead = *p;
  std::size_t length = 0;
  unsigned char low = 0x80;  // range of the second byte; later ones are 80..BF
  unsigned char high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;   // no overlong forms
    if (lead == 0xED) high = 0x9F;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;   // no overlong forms
    if (lead == 0xF4) high = 0x8F;  // nothing above U+10FFFF
  } else {
    return {1, false};
  }
  for (std::size_t i = 1; i < length; ++i) {
    if (p + i == end || p[i] < low || p[i] > high) return {i, false};
    low = 0x80;
    high = 0xBF;
  }
  return {length, true};
}

}  // namespace

void AppendEscaped(std::string& out, std::string_view text, JsonDepth depth) {
  const EscapeTable& table = depth == JsonDepth::kOnce ? kEscapeOnceTable : kEscapeTwiceTable;
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const auto* const end = p + text.size();
  const auto* copyFrom = p;  // bytes from here on are still to be appended
  auto flush = [&](const unsigned char* upTo) {
    out.append(reinterpret_cast<const char*>(copyFrom), static_cast<std::size_t>(upTo - copyFrom));
  };
  while (p != end) {
    if (*p < 0x80) {
      const Escape& escape = table.ascii[*p];
      if (escape.length != 0) {
        flush(p);
        out.append(escape.text, escape.length);
        copyFrom = p + 1;
      }
      ++p;
      continue;
    }
    const Utf8Sequence sequence = ScanUtf8(p, end);
    if (!sequence.valid) {
      flush(p);
      out.append(kReplacementCharacter);
      copyFrom = p + sequence.length;
    }
    p += sequence.length;
  }
  flush(end);
}

std::string Escaped(std::string_view text, JsonDepth depth) {
  std::string out;
  AppendEscaped(out, text, depth);
  return out;
}

}  // namespace Ostrel
