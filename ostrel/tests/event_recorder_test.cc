#include "event_recorder.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "constants.h"
#include "fake_clock.h"
#include "request_queue.h"
#include "serialization_context.h"
#include "take_message.h"

namespace {

using nlohmann::json;
using Ostrel::EventCategory;
using Ostrel::SerializationContext;

// An HTTP client that refuses (or accepts) every request and counts them.
class ScriptedHttpClient final : public TaviServices::HttpClient {
 public:
  bool SendRequest(std::string, std::vector<std::string>, std::string body) override {
    ++attempts;
    lastBody = std::move(body);
    return accept;
  }
  bool accept = false;
  int attempts = 0;
  std::string lastBody;
};

class RecorderTest : public ::testing::Test {
 protected:
  void Append(const std::string& name, EventCategory category = EventCategory::Game()) {
    AnalyticsEvent event(name);
    event.SetCategory(std::move(category));
    recorder.Append(std::move(event));
  }

  json TakeMessageJson() { return json::parse(TakeMessage(queue)); }
  json TakeBody() { return json::parse(TakeMessageJson()["data"].get<std::string>()); }

  FakeClock clock{1700000000};
  Zel::TaviServicesHttpClientCurl queue;
  SerializationContext context;
  EventRecorder recorder{"proj"};
};

std::string Url(const std::string& path, const std::string& project) {
  return std::string(Ostrel::Constants::baseUrl) + "/v1/" + path + "?project=" + project;
}

TEST_F(RecorderTest, AFlushIsDueAtThirtyEventsAndSendsThemOldestFirst) {
  for (int i = 0; i < 29; ++i) Append("e" + std::to_string(i));
  EXPECT_FALSE(recorder.FlushDue());
  Append("e29");
  EXPECT_TRUE(recorder.FlushDue());

  EXPECT_TRUE(recorder.Flush(queue, context));
  EXPECT_TRUE(recorder.Buffer().empty());
  EXPECT_FALSE(recorder.FlushDue());
  const json message = TakeMessageJson();
  EXPECT_EQ(message["url"], Url("win/batch", "proj"));
  const json body = json::parse(message["data"].get<std::string>());
  ASSERT_EQ(body.size(), 30u);
  for (int i = 0; i < 30; ++i) EXPECT_EQ(body[i]["event_type"], "a_e" + std::to_string(i));

  // An empty buffer sends nothing.
  EXPECT_FALSE(recorder.Flush(queue, context));
  EXPECT_EQ(queue.MessagesCount(), 0);
}

TEST_F(RecorderTest, SendsOneEventAsRecordAndSeveralAsBatch) {
  Append("only");
  EXPECT_TRUE(recorder.Flush(queue, context));
  json message = TakeMessageJson();
  EXPECT_EQ(message["url"], Url("win/record", "proj"));
  EXPECT_EQ(message["headers"], json({"X-Api-Key: Qm7TzR2vLx9KpB4nWc8HdY1sJf6GuE3aVo5XiNt0",
                                      "Content-Type: application/json"}));
  EXPECT_TRUE(json::parse(message["data"].get<std::string>()).is_object());

  Append("one");
  Append("two", EventCategory::Custom());
  context.userId = "written at flush";
  EXPECT_TRUE(recorder.Flush(queue, context));
  message = TakeMessageJson();
  EXPECT_EQ(message["url"], Url("win/batch", "proj"));
  const json body = json::parse(message["data"].get<std::string>());
  ASSERT_TRUE(body.is_array());
  EXPECT_EQ(body[0]["event_type"], "a_one");
  EXPECT_EQ(body[1]["event_type"], "c_two");
  EXPECT_EQ(body[1]["attributes"]["user_id"], "written at flush");
}

TEST(EventRecorder, CopiesTheProjectValueIntoTheUrlUnchanged) {
  Zel::TaviServicesHttpClientCurl queue;
  EventRecorder recorder("my game&x=1");
  recorder.Append(AnalyticsEvent("e"));
  EXPECT_TRUE(recorder.Flush(queue, {}));
  EXPECT_EQ(json::parse(TakeMessage(queue))["url"], Url("win/record", "my game&x=1"));
}

TEST_F(RecorderTest, KeepsEveryEventWhenTheSendFails) {
  ScriptedHttpClient refusing;
  for (int i = 0; i < 31; ++i) Append("e");
  EXPECT_FALSE(recorder.Flush(refusing, context));
  EXPECT_FALSE(recorder.Flush(refusing, context));
  EXPECT_EQ(refusing.attempts, 2);
  EXPECT_EQ(recorder.Buffer().size(), 31u);

  // The next accepted send carries all of them.
  Append("e");
  refusing.accept = true;
  EXPECT_TRUE(recorder.Flush(refusing, context));
  EXPECT_EQ(json::parse(refusing.lastBody).size(), 32u);
  EXPECT_TRUE(recorder.Buffer().empty());
}

TEST_F(RecorderTest, OneInvalidByteNeitherBlocksTheFlushNorChangesOtherEvents) {
  auto flushBodies = [this](const std::string& badText) {
    AnalyticsEvent before("before");
    before.AddAttribute("k", "caf\xC3\xA9");
    AnalyticsEvent bad("bad");
    bad.AddAttribute("k", badText);
    bad.SetCategory(EventCategory::Custom());
    AnalyticsEvent after("after");
    after.AddMetric("m", 1);
    for (AnalyticsEvent* event : {&before, &bad, &after}) recorder.Append(std::move(*event));
    EXPECT_TRUE(recorder.Flush(queue, context));
    EXPECT_TRUE(recorder.Buffer().empty());
    return TakeBody();
  };
  const json clean = flushBodies("fine");
  const json dirty = flushBodies("fi\xFFne");
  EXPECT_EQ(dirty[0], clean[0]);
  EXPECT_EQ(dirty[2], clean[2]);
  EXPECT_EQ(dirty[1]["attributes"]["dsa_k"], "fi\xEF\xBF\xBDne");

  // A bad byte in the context reaches every event as U+FFFD, and still flushes.
  context.userId = "\xC3";
  Append("e");
  EXPECT_TRUE(recorder.Flush(queue, context));
  EXPECT_EQ(TakeBody()["attributes"]["user_id"], "\xEF\xBF\xBD");
}

}  // namespace
