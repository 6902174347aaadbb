#include "fuzz_inputs.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace FuzzInputs {
namespace {

// clang-format off
// Locale shapes, URL-special characters, valid multi-byte UTF-8, then invalid
// UTF-8 (stray, truncated, surrogate, above U+10FFFF, overlong), controls.
constexpr const char* kSampleTexts[] = {
    "", "p", "en-US", "de_DE", "en", "fr-CA", "a b&c=d#e?f", "user_id",
    "\xc3\xa9t\xc3\xa9", "\xe2\x82\xac", "\xf0\x9f\x8e\xae",
    "\xff", "\xe2\x82", "\xc3", "\xed\xa0\x80", "\xf4\x90\x80\x80", "\xc0\xaf", "\x80x",
    "\t\n\r\b\f\x01\x1f\x7f", "\"\\/"};

// Integers at the 32- and 64-bit edges and past them, fractions that
// narrowing to float changes, overflows or flushes to zero.
constexpr const char* kSampleNumbers[] = {
    "0", "-0", "-1", "4294967295", "4294967296", "4294967297", "-2147483648", "-2147483649",
    "9223372036854775807", "-9223372036854775808", "18446744073709551615",
    "18446744073709551616", "-9223372036854775809",
    "0.1", "-0.0", "1e39", "-1e39", "1e-50", "1e400", "-1e400", "3.4028235677973366e38",
    "1.5E+3", "2147483647.5", "1e2"};
// clang-format on

constexpr const char* kSampleKeys[] = {"a", "b", "", "0", "user_id", "B", "\xc3\xa9", "a\\u0000b"};

template <std::size_t size>
const char* Pick(FuzzedDataProvider& data, const char* const (&samples)[size]) {
  return samples[data.ConsumeIntegralInRange<std::size_t>(0, size - 1)];
}

std::string UpToNul(std::string text) {
  text.resize(std::strlen(text.c_str()));
  return text;
}

// A short piece repeated up to 4 KiB: long enough to matter, short enough
// that thirty events carrying it in their context serialise fast.
std::string LongText(FuzzedDataProvider& data) {
  std::string piece = UpToNul(data.ConsumeRandomLengthString(16));
  if (piece.empty()) piece = "x";
  const std::size_t times = data.ConsumeIntegralInRange<std::size_t>(1, 4096 / piece.size());
  std::string text;
  text.reserve(piece.size() * times);
  for (std::size_t i = 0; i < times; ++i) text += piece;
  return text;
}

std::string Number(FuzzedDataProvider& data) {
  switch (data.ConsumeIntegralInRange(0, 3)) {
    case 0:
      return std::to_string(data.ConsumeIntegral<std::int64_t>());
    case 1:
      return std::to_string(data.ConsumeIntegral<std::uint64_t>());
    case 2: {
      const double value = data.ConsumeFloatingPoint<double>();
      if (!std::isfinite(value)) return "1e400";
      char text[40];
      std::snprintf(text, sizeof text, "%.17g", value);
      std::string written = text;
      // A number without fraction or exponent would parse as an integer.
      if (written.find_first_of(".eE") == std::string::npos) written += ".0";
      return written;
    }
    default:
      return Pick(data, kSampleNumbers);
  }
}

// A JSON string literal: the text's bytes as they are (invalid UTF-8 makes
// the whole text invalid JSON), quotes, backslashes and control characters
// escaped, and sometimes a \u escape of its own.
std::string StringLiteral(FuzzedDataProvider& data) {
  std::string literal = "\"";
  for (const char byte : Text(data).value_or("")) {
    if (byte == '"' || byte == '\\') {
      literal += '\\';
      literal += byte;
    } else if (static_cast<unsigned char>(byte) < 0x20) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(byte));
      literal += escape;
    } else {
      literal += byte;
    }
  }
  if (data.ConsumeBool()) {
    constexpr const char* kEscapes[] = {"\\u0000", "\\ud83c\\udfae", "\\u00e9", "\\ud800", "\\/"};
    literal += Pick(data, kEscapes);
  }
  return literal + "\"";
}

std::string Value(FuzzedDataProvider& data, int depth);

std::string Members(FuzzedDataProvider& data, int depth, bool object) {
  std::string text(1, object ? '{' : '[');
  // Up to twelve members, so that array keys reach "10" and sort before "2".
  const int count = data.ConsumeIntegralInRange(0, 12);
  for (int i = 0; i < count; ++i) {
    if (i > 0) text += ',';
    if (object) {
      text += data.ConsumeBool() ? "\"" + std::string(Pick(data, kSampleKeys)) + "\""
                                 : StringLiteral(data);
      text += ':';
    }
    text += Value(data, depth + 1);
  }
  return text + (object ? '}' : ']');
}

std::string Value(FuzzedDataProvider& data, int depth) {
  const int last = depth < 3 ? 6 : 4;
  switch (data.ConsumeIntegralInRange(0, last)) {
    case 0:
      return "null";
    case 1:
      return data.ConsumeBool() ? "true" : "false";
    case 2:
    case 3:
      return Number(data);
    case 4:
      return StringLiteral(data);
    case 5:
      return Members(data, depth, false);
    default:
      return Members(data, depth, true);
  }
}

// Cuts the text short, inserts a byte or wraps it in blanks.
std::string Damaged(FuzzedDataProvider& data, std::string text) {
  const std::size_t position = data.ConsumeIntegralInRange<std::size_t>(0, text.size());
  switch (data.ConsumeIntegralInRange(0, 2)) {
    case 0:
      return text.substr(0, position);
    case 1:
      return UpToNul(text.insert(position, 1, data.ConsumeIntegral<char>()));
    default:
      return " \t\r\n" + text + " ";
  }
}

}  // namespace

std::optional<std::string> Text(FuzzedDataProvider& data) {
  switch (data.ConsumeIntegralInRange(0, 7)) {
    case 0:
      return std::nullopt;
    case 1:
    case 2:
    case 3:
      return std::string(Pick(data, kSampleTexts));
    case 4:
      return LongText(data);
    default:
      return UpToNul(data.ConsumeRandomLengthString(64));
  }
}

std::optional<std::string> AttributesText(FuzzedDataProvider& data) {
  switch (data.ConsumeIntegralInRange(0, 7)) {
    case 0:
      return std::nullopt;
    case 1:
      return Text(data);
    case 2:
      return Damaged(data, Value(data, 0));
    default:
      return Value(data, 0);
  }
}

}  // namespace FuzzInputs
