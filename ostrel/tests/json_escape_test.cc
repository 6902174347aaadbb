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

const std::string fffd = "\xEF\xBF\xBD";

TEST(JsonEscape, EscapesAsciiLikeNlohmann) {
  EXPECT_EQ(Escaped("", JsonDepth::once), "");
  EXPECT_EQ(Escaped("plain / text", JsonDepth::once), "plain / text");
  EXPECT_EQ(Escaped("\"q\" \\b", JsonDepth::once), R"(\"q\" \\b)");
  EXPECT_EQ(Escaped("\b\f\n\r\t", JsonDepth::once), R"(\b\f\n\r\t)");
  EXPECT_EQ(Escaped(std::string("\0\x01\x0b\x1f\x7f", 5), JsonDepth::once),
            "\\u0000\\u0001\\u000b\\u001f\x7f");

  // Twice: the escape is escaped again; everything else stays as it is.
  EXPECT_EQ(Escaped("\"q\"", JsonDepth::twice), R"(\\\"q\\\")");
  EXPECT_EQ(Escaped("a\\b\n\x01/", JsonDepth::twice), R"(a\\\\b\\n\\u0001/)");

  for (int byte = 0; byte < 0x80; ++byte) {
    const std::string text(1, static_cast<char>(byte));
    EXPECT_EQ(Escaped(text, JsonDepth::once), NlohmannEscaped(text)) << byte;
    EXPECT_EQ(Escaped(text, JsonDepth::twice), NlohmannEscaped(NlohmannEscaped(text))) << byte;
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
       "a" + fffd + "b" + fffd + "c" + fffd},
      // A truncated sequence is one replacement; the byte that broke it is
      // read again.
      {"\xE2\x82x", fffd + "x"},
      {"\xF0\x9F\x8E\xC3\xA9", fffd + "\xC3\xA9"},
      {"\xE2\x82\"", fffd + "\\\""},
      {"\xE2\x82", fffd},
      {"\xF0\x9F\x8E", fffd},
      // Overlong forms, surrogates and values above U+10FFFF fail at their
      // second byte, so every byte is a replacement of its own.
      {"\xC0\xAF", fffd + fffd},
      {"\xE0\x80\x80", fffd + fffd + fffd},
      {"\xED\xA0\x80", fffd + fffd + fffd},
      {"\xF4\x90\x80\x80", fffd + fffd + fffd + fffd},
      {"\xF5\x80", fffd + fffd},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Escaped(c.text, JsonDepth::once), c.expected) << c.text;
    EXPECT_EQ(Escaped(c.text, JsonDepth::once), NlohmannEscaped(c.text)) << c.text;
  }

  // Every pair of bytes, alone and between ASCII text.
  for (int first = 0x80; first < 0x100; ++first) {
    for (int second = 0; second < 0x100; ++second) {
      const std::string text{'x', static_cast<char>(first), static_cast<char>(second), '"'};
      ASSERT_EQ(Escaped(text, JsonDepth::once), NlohmannEscaped(text)) << first << " " << second;
      ASSERT_EQ(Escaped(text, JsonDepth::twice), NlohmannEscaped(NlohmannEscaped(text)))
          << first << " " << second;
    }
  }
}

}  // namespace
