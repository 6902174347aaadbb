#include "message_check.h"

#include "fuzz_check.h"

using FuzzCheck::Fail;
using FuzzCheck::Require;
using nlohmann::json;

namespace {

json ParseOrFail(const std::string& text, const char* what) {
  json value = json::parse(text, nullptr, false, false);
  if (value.is_discarded()) Fail(std::string(what) + " is not valid JSON", "", text);
  // Parsed strings are valid UTF-8, so the plain writer gives the one
  // compact text the library must have written.
  if (value.dump() != text)
    Fail(std::string(what) + " is not compact sorted JSON", value.dump(), text);
  return value;
}

void RequireShape(const json& message) {
  Require(message.is_object() && message.size() == 3 && message.contains("data") &&
              message.contains("headers") && message.contains("url"),
          "request message must have exactly data, headers and url");
  Require(message["data"].is_string() && message["url"].is_string(),
          "data and url must be strings");
}

// Compared as canonical texts, so that 7 and 7.0 or 0.0 and -0.0 differ.
void CompareBodies(const json& actual, const json& expected) {
  if (actual.is_array() && expected.is_array() && actual.size() == expected.size()) {
    for (std::size_t index = 0; index < actual.size(); ++index) {
      if (actual[index].dump() != expected[index].dump()) {
        Fail("event " + std::to_string(index) + " of the batch differs", expected[index].dump(),
             actual[index].dump());
      }
    }
  }
  if (actual.dump() != expected.dump())
    Fail("message body differs", expected.dump(), actual.dump());
}

}  // namespace

void CheckMessage(const std::string& text, const ExpectedMessage& expected) {
  if (text == expected.text) return;
  const json want = json::parse(expected.text);
  const json message = ParseOrFail(text, "request message");
  RequireShape(message);
  if (message["headers"] != want["headers"]) {
    Fail("headers differ", want["headers"].dump(), message["headers"].dump());
  }
  if (message["url"] != want["url"]) Fail("url differs", want["url"].dump(), message["url"].dump());
  const json body = ParseOrFail(message["data"].get<std::string>(), "message data");
  CompareBodies(body, json::parse(want["data"].get<std::string>()));
  Fail("message text differs", expected.text, text);
}
