#include "delivery/trace_lines.h"

#include <gtest/gtest.h>

#include "test_messages.h"

using namespace Delivery;

TEST(TraceLines, RequestLineEmbedsTheMessageAsAnObject) {
  std::string text = TestMessage(TestEvent("a_Levelup", 1700000000000));
  std::string line = RequestTraceLine(text);
  EXPECT_EQ(line.find('\n'), std::string::npos);
  EXPECT_EQ(line, R"({"event":"analytics.request","message":)" + text + "}");
  nlohmann::json parsed = nlohmann::json::parse(line);
  EXPECT_TRUE(parsed["message"].is_object());
  EXPECT_EQ(parsed["message"]["url"],
            "https://analytics.example.com/v1/win/record?project=sample-game");

  nlohmann::json broken = nlohmann::json::parse(RequestTraceLine("{\"data\":\"x\xFF"));
  EXPECT_EQ(broken["event"], "analytics.request");
  EXPECT_FALSE(broken.contains("message"));
  EXPECT_EQ(broken["text"], "{\"data\":\"x\xEF\xBF\xBD");
}

TEST(TraceLines, OutcomeLinesAreOneJsonObjectPerLine) {
  EXPECT_EQ(
      SentTraceLine(200, "http://127.0.0.1:1/v1/win/record?project=p"),
      R"({"event":"analytics.sent","status":200,"url":"http://127.0.0.1:1/v1/win/record?project=p"})");
  EXPECT_EQ(
      FailedTraceLine("HTTP 400: {\"ok\":false}\n", 1, "http://h/v1"),
      R"({"event":"analytics.failed","reason":"HTTP 400: {\"ok\":false}\n","attempts":1,"url":"http://h/v1"})");

  DeliveryOutcome failed;
  failed.reason = "bad byte \xC3";  // a response body cut inside a character
  failed.attempts = 5;
  nlohmann::json line = nlohmann::json::parse(OutcomeTraceLine(failed));
  EXPECT_EQ(line["event"], "analytics.failed");
  EXPECT_EQ(line["reason"], "bad byte \xEF\xBF\xBD");
  EXPECT_EQ(line["attempts"], 5);

  DeliveryOutcome sent;
  sent.sent = true;
  sent.status = 204;
  sent.url = "http://h/";
  EXPECT_EQ(OutcomeTraceLine(sent), SentTraceLine(204, "http://h/"));
}
