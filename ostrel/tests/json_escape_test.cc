#include "json_escape.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace {

using Ostrel::Escaped;
using Ostrel::JsonDepth;

// nlohmann's own text of `text` as a JSON string, without the quotation marks.
std::string NlohmannEscaped(const std::string& text) {
  const std::string dumped =
      nlohmann::json(text).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
  return dumped.substr(1, dumped.size() - 2);
}

const std::string kFffd = "\xEF\xBF\xBD";

TEST(JsonEscape, EscapesAsciiLikeNlohmann) {
  EXPECT_EQ(Escaped("", JsonDepth::kOnce), "");
  EXPECT_EQ(Escaped("plain / text", JsonDepth::kOnce), "plain / text");
  EXPECT_EQ(Escaped("\"q\" \\b", JsonDepth::kOnce), R"(\"q\" \\b)");
  EXPECT_EQ(Escaped("\b\f\n\r\t", JsonDepth::kOnce), R"(\b\f\n\r\t)");
  EXPECT_EQ(Escaped(std::string("\0\x01\x0b\x1f\x7f", 5), JsonDepth::kOnce),
            "\\u0000\\u0001\\u000b\\u001f\x7f");

  // Twice: the escape is escaped again; everything else stays as it is.
  EXPECT_EQ(Escaped("\"q\"", JsonDepth::kTwice), R"(\\\"q\\\")");
  EXPECT_EQ(Escaped("a\\b\n\x01/", JsonDepth::kTwice), R"(a\\\\b\\n\\u0001/)");

  for (int byte = 0; byte < 0x80; ++byte) {
    const std::string text(1, static_cast<char>(byte));
    EXPECT_EQ(Escaped(text, JsonDepth::kOnce), NlohmannEscaped(text)) << byte;
    EXPECT_EQ(Escaped(text, JsonDepth::kTwice), NlohmannEscaped(NlohmannEscaped(text))) << byte;
  }
}

TEST(JsonEscape, CopiesValidUtf8AndReplacesEachIllFormedSequenceOnce) {
  const struct {
    const char* text;
    std::string expected;
  } cases[] = {
      // Boundaries of the well-formed ranges are copied.
      {"\xC2\x80 \xDF\xBF \xE0\xA0\x80 \xED\x9F\xBF \xEE\x80\x80 \xF0\x90\x80\x80 \xF4\x8F\xBF\xBF",
       "\xC2\x80 \xDF\xBF \xE0\xA0\x80 \xED\x9F\xBF \xEE\x80\x80 \xF0\x90\x80\x80 "
       "\xF4\x8F\xBF\xBF"},
      // A stray byte is one replacement.
      {"a\x80"
       "b\xFF"
       "c\xC1",
       "a" + kFffd + "b" + kFffd + "c" + kFffd},
      // A truncated sequence is one replacement; the byte that broke it is
      // read again.
      {"\xE2\x82x", kFffd + "x"},
      {"\xF0\x9F\x8E\xC3\xA9", kFffd + "\xC3\xA9"},
      {"\xE2\x82\"", kFffd + "\\\""},
      {"\xE2\x82", kFffd},
      {"\xF0\x9F\x8E", kFffd},
      // Overlong forms, surrogates and values above U+10FFFF fail at their
      // second byte, so every byte is a replacement of its own.
      {"\xC0\xAF", kFffd + kFffd},
      {"\xE0\x80\x80", kFffd + kFffd + kFffd},
      {"\xED\xA0\x80", kFffd + kFffd + kFffd},
      {"\xF4\x90\x80\x80", kFffd + kFffd + kFffd + kFffd},
      {"\xF5\x80", kFffd + kFffd},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Escaped(c.text, JsonDepth::kOnce), c.expected) << c.text;
    EXPECT_EQ(Escaped(c.text, JsonDepth::kOnce), NlohmannEscaped(c.text)) << c.text;
  }

  // Every pair of bytes, alone and between ASCII text.
  for (int first = 0x80; first < 0x100; ++first) {
    for (int second = 0; second < 0x100; ++second) {
      const std::string text{'x', static_cast<char>(first), static_cast<char>(second), '"'};
      ASSERT_EQ(Escaped(text, JsonDepth::kOnce), NlohmannEscaped(text)) << first << " " << second;
      ASSERT_EQ(Escaped(text, JsonDepth::kTwice), NlohmannEscaped(NlohmannEscaped(text)))
          << first << " " << second;
    }
  }
}

}  // namespace
