// The attributes reader against nlohmann json's document parse, whose
// items() it replaces: the same texts accepted, the same values yielded.
#include "custom_attributes.h"

#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "event_generator.h"

namespace {

using nlohmann::json;
using Ostrel::CustomValue;
using Kind = CustomValue::Kind;

bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// What the document says about one item, in the reader's terms.
::testing::AssertionResult Same(const std::string& key, const json& value,
                                const CustomValue& read) {
  bool same = read.key == key;
  switch (value.type()) {
    case json::value_t::string:
      same = same && read.kind == Kind::kText && read.text == value.get<std::string>();
      break;
    case json::value_t::number_integer:
      same = same && read.kind == Kind::kSigned && read.signedInteger == value.get<std::int64_t>();
      break;
    case json::value_t::number_unsigned:
      same = same && read.kind == Kind::kUnsigned &&
             read.unsignedInteger == value.get<std::uint64_t>();
      break;
    case json::value_t::number_float:
      same = same && read.kind == Kind::kFraction && SameBits(read.fraction, value.get<double>());
      break;
    default:
      same = same && read.kind == Kind::kOther;
  }
  if (same) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << "item " << ::testing::PrintToString(key) << " = " << value.dump() << " read as kind "
         << static_cast<int>(read.kind);
}

void ExpectSameAsDocument(const std::string& text) {
  std::vector<CustomValue> values;
  const bool read = Ostrel::ReadCustomAttributes(text, values);
  const json document = json::parse(text, nullptr, false, false);
  ASSERT_EQ(read, !document.is_discarded()) << ::testing::PrintToString(text);
  if (!read) return;
  std::size_t i = 0;
  for (const auto& item : document.items()) {
    ASSERT_LT(i, values.size()) << ::testing::PrintToString(text);
    ASSERT_TRUE(Same(item.key(), item.value(), values[i++])) << ::testing::PrintToString(text);
  }
  EXPECT_EQ(i, values.size()) << ::testing::PrintToString(text);
}

TEST(CustomAttributes, ReadLikeTheDocumentParse) {
  const char* const texts[] = {
      "",
      " ",
      "{}",
      "[]",
      "null",
      "true",
      "false",
      "nul",
      "truex",
      "\"text\"",
      "  7  ",
      "\xEF\xBB\xBF{\"a\":1}",
      " \xEF\xBB\xBF{}",
      "\xEF\xBB{}",                                          // a byte order mark, only first
      R"({"b":1,"a":"x","b":"y","c":[1,{"d":[]}],"e":{}})",  // order, duplicates, nesting
      R"({"a":1,})",
      R"({"a" 1})",
      R"({1:2})",
      R"([1,])",
      "[1 2]",
      R"({"a":1}})",
      "[[[]]]]",
      "0",
      "-0",
      "01",
      "-",
      "1.",
      ".5",
      "1e",
      "1e+",
      "+1",
      "1.5e-3",
      "2E5",
      "-0.0",
      "9223372036854775807",
      "-9223372036854775808",
      "-9223372036854775809",
      "18446744073709551615",
      "18446744073709551616",
      "1e308",
      "1e309",
      "-1e400",
      "1e-400",
      R"("\u0041\u00e9\u20ac\ud83c\udfae\/\b\f\n\r\t\"\\")",
      R"("\u0000")",
      R"("\ud800")",
      R"("\udc00")",
      R"("\ud800\u0041")",
      R"("\ud800\udbff")",
      R"("\uD83C\uDFAE")",
      R"("\x")",
      R"("\u12")",
      "\"a\tb\"",
      "\"\xC3\xA9\"",
      "\"\xC3\"",
      "\"\xED\xA0\x80\"",
      "\"\xF4\x90\x80\x80\"",
      "\"\xF0\x9F\x8E\xAE\"",
      "\"\xE0\x9F\xBF\"",
      "\"unterminated",
      "/* c */ 1",
      "[1] // c",
      "{'a':1}",
      "[true,false,null,\"x\",-1,2.5]",
  };
  for (const char* text : texts) ExpectSameAsDocument(text);
  ExpectSameAsDocument(std::string(10000, '[') + std::string(10000, ']'));
  ExpectSameAsDocument(std::string(10000, '[') + std::string(9999, ']'));
}

// Texts put together from JSON's pieces, valid and broken alike.
TEST(CustomAttributes, ReadGeneratedTextsLikeTheDocumentParse) {
  const char* const pieces[] = {
      "{",        "}",        "[",  "]",   ",",   ":",    " ",    "\"k\"",       "\"v\"",
      "\"\"",     "1",        "-2", "0.5", "1e3", "true", "null", "\"\\u00e9\"", "\"\xC3\xA9\"",
      "\"\xFF\"", "\"\\\"\"", "x"};
  SeededChoices choices(0xa77e5);
  for (int i = 0; i < 20000; ++i) {
    std::string text;
    for (std::uint64_t n = 1 + choices.Below(12); n > 0; --n) {
      text += pieces[choices.Below(std::size(pieces))];
    }
    ExpectSameAsDocument(text);
  }
}

}  // namespace
