#include "request_message.h"

#include <gtest/gtest.h>

#include "test_messages.h"

using Delivery::MalformedMessage;
using Delivery::ReadRequestMessage;

TEST(RequestMessage, KeepsBodyBytesTargetAndTheTwoHeaderLines) {
  nlohmann::json body = nlohmann::json::array(
      {TestEvent("a_Levelup", 1700000000000), TestEvent("_session.stop", 1700000001000)});
  body[0]["attributes"]["dsa_name"] = "caf\xC3\xA9 \"quoted\"\n\x01";
  Delivery::OutgoingRequest request = ReadRequestMessage(
      TestMessage(body, "p 1&x", {kApiKeyLine, "X-Other: dropped", "content-type: text/plain"}));
  EXPECT_EQ(request.target, "/v1/win/batch?project=p%201&x");
  EXPECT_EQ(request.headers, (std::vector<std::string>{kApiKeyLine, "content-type: text/plain"}));
  EXPECT_EQ(request.body, body.dump());

  request =
      ReadRequestMessage(R"({"data":"","headers":[],"url":"http://h/v1/win/record?project=p"})");
  EXPECT_EQ(request.body, "");
  EXPECT_TRUE(request.headers.empty());

  request = ReadRequestMessage(R"({"data":"a\u0000b","headers":[],"url":"http://h/"})");
  EXPECT_EQ(request.body, std::string("a\0b", 3));

  request = ReadRequestMessage(
      R"({"data":"","headers":["X-Api-Key:","Content-Type:\ta/b"],"url":"http://h/"})");
  EXPECT_EQ(request.headers, (std::vector<std::string>{"X-Api-Key:", "Content-Type:\ta/b"}))
      << "exactly as given, an empty value too";

  const std::string large(1536 * 1024, 'x');  // read by a parser of its own
  request = ReadRequestMessage(TestMessage(nlohmann::json::array({large})));
  EXPECT_EQ(request.body, nlohmann::json::array({large}).dump());
}

TEST(RequestMessage, TargetIsThePathAndQueryOfTheUrl) {
  const std::pair<std::string, std::string> cases[] = {
      {"https://analytics.example.com:8443/v1/win/record?project=p", "/v1/win/record?project=p"},
      {"https://analytics.example.com", "/"},
      {"https://analytics.example.com?project=p", "/?project=p"},
      {"https://a/v1/x?project=p#frag", "/v1/x?project=p"},
      {"https://a/v1/win/record?project=my game\xC3\xA9\"|",
       "/v1/win/record?project=my%20game%C3%A9%22%7C"},
      {"https://a/v1/win/record?project=a%20b&c=d", "/v1/win/record?project=a%20b&c=d"},
  };
  for (const auto& [url, target] : cases) EXPECT_EQ(Delivery::PathAndQuery(url), target) << url;
}

TEST(RequestMessage, RejectsMalformedTextsWithTheReason) {
  const std::string url = R"("url":"https://h/v1/win/record?project=p")";
  const std::pair<std::string, std::string> cases[] = {
      {"", "not JSON"},
      {"{\"data\":", "not JSON"},
      {R"({"data":"\q","headers":[],)" + url + "}", "not JSON"},
      {"{\"data\":\"caf\xE9\",\"headers\":[]," + url + "}", "not JSON"},  // not UTF-8
      {R"({"data":"","headers":[],)" + url + "} {}", "not JSON"},
      {"[]", "not a JSON object"},
      {R"({"headers":[],)" + url + "}", "\"data\" is missing"},
      {R"({"data":"","headers":[]})", "\"url\" is missing"},
      {R"({"data":"",)" + url + "}", "\"headers\" is missing"},
      {R"({"data":{},"headers":[],)" + url + "}", "\"data\" is not a string"},
      {R"({"data":"","headers":"X: y",)" + url + "}", "\"headers\" is not an array"},
      {R"({"data":"","headers":[null],)" + url + "}", "non-string"},
      {R"({"data":"","headers":["no colon"],)" + url + "}", "not \"Name: value\""},
      {R"({"data":"","headers":["X-Api-Key: a\r\nY: b"],)" + url + "}", "line break"},
      {R"({"data":"","headers":[],"url":"/v1/win/record"})", "not absolute"},
      {R"({"data":"","headers":[],"url":"https:///v1"})", "no host"},
      {R"({"data":"a","data":"b","headers":[],)" + url + "}", "\"data\" appears more than once"},
      {R"({"data":"","headers":[],"headers":[],)" + url + "}", "\"headers\" appears more"},
      {R"({"data":"","headers":["X-Api-Key: a\u0000b"],)" + url + "}", "control character"},
      {R"({"data":"","headers":["X-Api-Key: a\u007fb"],)" + url + "}", "control character"},
      {R"({"data":"","headers":["X Api: a"],)" + url + "}", "not \"Name: value\""},
      {R"({"data":"","headers":[": a"],)" + url + "}", "not \"Name: value\""},
      {R"({"data":"","headers":["X-Api-Key: )" + std::string(8182, 'k') + "\"]," + url + "}",
       "header line of 8193 bytes is longer than 8192"},
      {R"({"data":"","headers":[],"url":"https://h/)" + std::string(8192, 'p') + "\"}",
       "of 8193 bytes are longer than 8192"},
  };
  for (const auto& [text, reason] : cases) {
    try {
      ReadRequestMessage(text);
      ADD_FAILURE() << "accepted " << text;
    } catch (const MalformedMessage& error) {
      std::string what = error.what();
      EXPECT_EQ(what.rfind("malformed request message: ", 0), 0u) << what;
      EXPECT_NE(what.find(reason), std::string::npos) << text << " -> " << what;
    }
  }
}
