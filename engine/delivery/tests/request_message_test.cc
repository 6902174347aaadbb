#include "delivery/request_message.h"

#include <gtest/gtest.h>

#include "test_messages.h"

using Delivery::MalformedMessage;
using Delivery::ParseRequestMessage;

TEST(RequestMessage, ParsesTheQueuedTextUnchanged) {
  nlohmann::json body = nlohmann::json::array(
      {TestEvent("a_Levelup", 1700000000000), TestEvent("_session.stop", 1700000001000)});
  body[0]["attributes"]["dsa_name"] = "caf\xC3\xA9 \"quoted\"\n";
  Delivery::RequestMessage message = ParseRequestMessage(TestMessage(body, "p 1&x"));
  EXPECT_EQ(message.url, "https://analytics.example.com/v1/win/batch?project=p 1&x");
  EXPECT_EQ(message.headers, (std::vector<std::string>{kApiKeyLine, kContentTypeLine}));
  EXPECT_EQ(message.data, body.dump());

  message =
      ParseRequestMessage(R"({"data":"","headers":[],"url":"http://h/v1/win/record?project=p"})");
  EXPECT_EQ(message.data, "");
  EXPECT_TRUE(message.headers.empty());
}

TEST(RequestMessage, RejectsMalformedTextsWithTheReason) {
  const std::string url = R"("url":"https://h/v1/win/record?project=p")";
  const std::pair<std::string, std::string> cases[] = {
      {"", "not JSON"},
      {"{\"data\":", "not JSON"},
      {"[]", "not a JSON object"},
      {"\"text\"", "not a JSON object"},
      {R"({"headers":[],)" + url + "}", "\"data\" is missing"},
      {R"({"data":"","headers":[]})", "\"url\" is missing"},
      {R"({"data":"",)" + url + "}", "\"headers\" is missing"},
      {R"({"data":{},"headers":[],)" + url + "}", "\"data\" is not a string"},
      {R"({"data":"","headers":[],"url":7})", "\"url\" is not a string"},
      {R"({"data":"","headers":"X: y",)" + url + "}", "\"headers\" is not an array"},
      {R"({"data":"","headers":[null],)" + url + "}", "non-string"},
      {R"({"data":"","headers":["no colon"],)" + url + "}", "not \"Name: value\""},
      {R"({"data":"","headers":[": empty name"],)" + url + "}", "not \"Name: value\""},
      {R"({"data":"","headers":["X: a\r\nY: b"],)" + url + "}", "line break"},
      {R"({"data":"","headers":[],"url":"/v1/win/record"})", "not absolute"},
      {R"({"data":"","headers":[],"url":"https:///v1"})", "no host"},
  };
  for (const auto& [text, reason] : cases) {
    try {
      ParseRequestMessage(text);
      ADD_FAILURE() << "accepted " << text;
    } catch (const MalformedMessage& error) {
      std::string what = error.what();
      EXPECT_EQ(what.rfind("malformed request message: ", 0), 0u) << what;
      EXPECT_NE(what.find(reason), std::string::npos) << text << " -> " << what;
    }
  }
}
