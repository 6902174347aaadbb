#include "event_recorder.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "constants.h"
#include "fake_clock.h"
#include "request_queue.h"
#include "services_client.h"

namespace {

using nlohmann::json;

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

// A services client whose "session.start" has already been flushed away.
class RecorderTest : public ::testing::Test {
 protected:
  RecorderTest() : services("proj") {
    services.SetHttpClient(&queue);
    services.Recorder().Flush();
    queue.TakeMessage();
  }

  json TakeMessage() { return json::parse(queue.TakeMessage()); }

  FakeClock clock{1700000000};
  Zel::TaviServicesHttpClientCurl queue;
  ServicesClient services;
};

std::string Url(const std::string& path, const std::string& project) {
  return std::string(Constants::baseUrl) + "/v1/" + path + "?project=" + project;
}

TEST_F(RecorderTest, FlushesAtThirtyEventsOldestFirst) {
  for (int i = 0; i < 29; ++i) {
    EXPECT_TRUE(services.RecordEvent(AnalyticsEvent("e" + std::to_string(i)), "a"));
  }
  EXPECT_EQ(queue.MessagesCount(), 0);
  EXPECT_EQ(services.Recorder().Buffer().size(), 29u);

  EXPECT_TRUE(services.RecordEvent(AnalyticsEvent("e29"), "a"));
  ASSERT_EQ(queue.MessagesCount(), 1);
  EXPECT_TRUE(services.Recorder().Buffer().empty());
  const json message = TakeMessage();
  EXPECT_EQ(message["url"], Url("win/batch", "proj"));
  const json body = json::parse(message["data"].get<std::string>());
  ASSERT_EQ(body.size(), 30u);
  for (int i = 0; i < 30; ++i) EXPECT_EQ(body[i]["event_type"], "a_e" + std::to_string(i));

  // The next flush is due only after thirty more.
  EXPECT_TRUE(services.RecordEvent(AnalyticsEvent("next"), "a"));
  EXPECT_EQ(queue.MessagesCount(), 0);
}

TEST_F(RecorderTest, SendsOneEventAsRecordAndSeveralAsBatch) {
  services.RecordEvent(AnalyticsEvent("only"), "a");
  EXPECT_TRUE(services.Recorder().Flush());
  json message = TakeMessage();
  EXPECT_EQ(message["url"], Url("win/record", "proj"));
  EXPECT_EQ(message["headers"], json({"X-Api-Key: Qm7TzR2vLx9KpB4nWc8HdY1sJf6GuE3aVo5XiNt0",
                                      "Content-Type: application/json"}));
  EXPECT_TRUE(json::parse(message["data"].get<std::string>()).is_object());

  services.RecordEvent(AnalyticsEvent("one"), "a");
  services.RecordEvent(AnalyticsEvent("two"), "c");
  EXPECT_TRUE(services.Recorder().Flush());
  message = TakeMessage();
  EXPECT_EQ(message["url"], Url("win/batch", "proj"));
  const json body = json::parse(message["data"].get<std::string>());
  ASSERT_TRUE(body.is_array());
  EXPECT_EQ(body[0]["event_type"], "a_one");
  EXPECT_EQ(body[1]["event_type"], "c_two");
}

TEST(EventRecorder, CopiesTheProjectValueIntoTheUrlUnchanged) {
  Zel::TaviServicesHttpClientCurl queue;
  ServicesClient services("my game&x=1");
  services.SetHttpClient(&queue);
  EXPECT_TRUE(services.Recorder().Flush());
  EXPECT_EQ(json::parse(queue.TakeMessage())["url"], Url("win/record", "my game&x=1"));
}

TEST_F(RecorderTest, KeepsEveryEventWhenTheSendFails) {
  ScriptedHttpClient refusing;
  services.SetHttpClient(&refusing);
  for (int i = 0; i < 29; ++i) EXPECT_TRUE(services.RecordEvent(AnalyticsEvent("e"), "a"));
  EXPECT_FALSE(services.RecordEvent(AnalyticsEvent("e"), "a"));
  EXPECT_FALSE(services.RecordEvent(AnalyticsEvent("e"), "a"));
  EXPECT_EQ(refusing.attempts, 2);
  EXPECT_EQ(services.Recorder().Buffer().size(), 31u);

  // Without an HTTP client nothing is even attempted and the buffer grows.
  services.SetHttpClient(nullptr);
  EXPECT_FALSE(services.Recorder().Flush());
  EXPECT_FALSE(services.RecordEvent(AnalyticsEvent("e"), "a"));
  EXPECT_EQ(services.Recorder().Buffer().size(), 32u);

  // The next accepted send carries all of them.
  refusing.accept = true;
  services.SetHttpClient(&refusing);
  EXPECT_TRUE(services.Recorder().Flush());
  EXPECT_EQ(json::parse(refusing.lastBody).size(), 32u);
  EXPECT_TRUE(services.Recorder().Buffer().empty());
}

TEST_F(RecorderTest, ReadsTheContextAtFlushTime) {
  services.SetUserId("before");
  services.RecordEvent(AnalyticsEvent("e"), "a");
  services.SetUserId("after");
  services.SetAppData("app", "pkg", "title", "1.0", "7");
  services.Recorder().Flush();
  const json event = json::parse(TakeMessage()["data"].get<std::string>());
  EXPECT_EQ(event["attributes"]["user_id"], "after");
  EXPECT_EQ(event["application"]["version_code"], "7");
}

TEST_F(RecorderTest, OneInvalidByteNeitherBlocksTheFlushNorChangesOtherEvents) {
  auto flushBodies = [this](const std::string& badText) {
    services.RecordEvent(AnalyticsEvent("before").AddAttribute("k", "caf\xC3\xA9"), "a");
    services.RecordEvent(AnalyticsEvent("bad").AddAttribute("k", badText), "c");
    services.RecordEvent(AnalyticsEvent("after").AddMetric("m", 1), "a");
    EXPECT_TRUE(services.Recorder().Flush());
    EXPECT_TRUE(services.Recorder().Buffer().empty());
    return json::parse(TakeMessage()["data"].get<std::string>());
  };
  const json clean = flushBodies("fine");
  const json dirty = flushBodies("fi\xFFne");
  EXPECT_EQ(dirty[0], clean[0]);
  EXPECT_EQ(dirty[2], clean[2]);
  EXPECT_EQ(dirty[1]["attributes"]["dsa_k"], "fi\xEF\xBF\xBDne");

  // A bad byte in the context reaches every event as U+FFFD, and still flushes.
  services.SetUserId("\xC3");
  services.RecordEvent(AnalyticsEvent("e"), "a");
  EXPECT_TRUE(services.Recorder().Flush());
  EXPECT_EQ(json::parse(TakeMessage()["data"].get<std::string>())["attributes"]["user_id"],
            "\xEF\xBF\xBD");
}

}  // namespace
