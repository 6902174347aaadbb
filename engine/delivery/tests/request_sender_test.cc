#include "delivery/request_sender.h"

#include <gtest/gtest.h>

#include <memory>
#include <mutex>

#include "collector_process.h"
#include "delivery/request_message.h"
#include "test_messages.h"

using namespace Delivery;
using namespace std::chrono_literals;

namespace {

// Collects the outcomes the sender reports from its worker thread.
class Outcomes {
 public:
  OutcomeCallback Callback() {
    return [this](const DeliveryOutcome& outcome) {
      std::lock_guard<std::mutex> lock(mutex);
      reported.push_back(outcome);
    };
  }
  std::vector<DeliveryOutcome> Reported() {
    std::lock_guard<std::mutex> lock(mutex);
    return reported;
  }

 private:
  std::mutex mutex;
  std::vector<DeliveryOutcome> reported;
};

SenderOptions FastOptions(const std::string& collectorUrl, int maxAttempts = 3) {
  SenderOptions options;
  options.collectorUrl = collectorUrl;
  options.maxAttempts = maxAttempts;
  options.firstRetryDelay = 1ms;
  options.connectTimeout = 2s;
  options.totalTimeout = 5s;
  return options;
}

}  // namespace

TEST(RequestSender, DeliversEveryMessageOnceInOrder) {
  CollectorProcess collector({"--project", "sample-game"});
  Outcomes outcomes;
  std::vector<nlohmann::json> bodies = {
      TestEvent("_session.start", 1700000000000),
      nlohmann::json::array(
          {TestEvent("a_Levelup", 1700000001000), TestEvent("c_Shot", 1700000002000)}),
      TestEvent("_session.stop", 1700000003000),
  };
  {
    RequestSender sender(FastOptions(collector.Url() + "/"), outcomes.Callback());
    for (const nlohmann::json& body : bodies) sender.Submit(TestMessage(body));
    EXPECT_TRUE(sender.Drain(20s));
    EXPECT_EQ(outcomes.Reported().size(), bodies.size());  // all reported once Drain returns
  }
  std::vector<DeliveryOutcome> reported = outcomes.Reported();
  std::vector<nlohmann::json> stored = collector.StoredRequests();
  ASSERT_EQ(reported.size(), bodies.size());
  ASSERT_EQ(stored.size(), bodies.size());
  for (std::size_t i = 0; i < bodies.size(); ++i) {
    std::string path = bodies[i].is_array() ? "/v1/win/batch" : "/v1/win/record";
    EXPECT_TRUE(reported[i].sent) << reported[i].reason;
    EXPECT_EQ(reported[i].status, 200);
    EXPECT_EQ(reported[i].attempts, 1);
    EXPECT_EQ(reported[i].url, collector.Url() + path + "?project=sample-game");
    EXPECT_EQ(stored[i]["path"], path);
    EXPECT_EQ(stored[i]["project"], "sample-game");
    EXPECT_EQ(stored[i]["body"], bodies[i]);
  }
}

TEST(RequestSender, RetriesServerErrorsUntilTheCollectorAccepts) {
  CollectorProcess collector({"--fail-first", "2"});
  Outcomes outcomes;
  RequestSender sender(FastOptions(collector.Url(), 5), outcomes.Callback());
  sender.Submit(TestMessage(TestEvent("a_Levelup", 1)));
  sender.Submit(TestMessage(TestEvent("a_Levelup", 2)));
  ASSERT_TRUE(sender.Drain(20s));

  std::vector<DeliveryOutcome> reported = outcomes.Reported();
  ASSERT_EQ(reported.size(), 2u);
  EXPECT_TRUE(reported[0].sent) << reported[0].reason;
  EXPECT_EQ(reported[0].attempts, 3);
  EXPECT_TRUE(reported[1].sent);
  EXPECT_EQ(reported[1].attempts, 1);
  std::vector<nlohmann::json> stored = collector.StoredRequests();
  ASSERT_EQ(stored.size(), 2u);  // each exactly once, the refused attempts not at all
  EXPECT_EQ(stored[0]["body"]["event_timestamp"], 1);
  EXPECT_EQ(stored[1]["body"]["event_timestamp"], 2);
}

TEST(RequestSender, FailsRejectedAndMalformedMessagesAtOnceAndGoesOn) {
  CollectorProcess collector;
  Outcomes outcomes;
  RequestSender sender(FastOptions(collector.Url(), 5), outcomes.Callback());
  sender.Submit(TestMessage(nlohmann::json::array()));                       // 400: empty batch
  sender.Submit(TestMessage(TestEvent("a_x", 1), "p", {kContentTypeLine}));  // 400: no key
  sender.Submit("not a message");
  sender.Submit(
      R"({"data":"{}","headers":["X: a\r\nY: b"],"url":"https://h/v1/win/record?project=p"})");
  sender.Submit(TestMessage(TestEvent("a_Levelup", 7)));
  ASSERT_TRUE(sender.Drain(20s));

  std::vector<DeliveryOutcome> reported = outcomes.Reported();
  ASSERT_EQ(reported.size(), 5u);
  for (int i : {0, 1}) {
    EXPECT_FALSE(reported[i].sent);
    EXPECT_EQ(reported[i].status, 400);
    EXPECT_EQ(reported[i].attempts, 1) << "a 400 is not retried";
    EXPECT_EQ(reported[i].reason.rfind("HTTP 400: {", 0), 0u) << reported[i].reason;
  }
  EXPECT_NE(reported[0].reason.find("non-empty JSON array"), std::string::npos);
  EXPECT_NE(reported[1].reason.find("X-Api-Key"), std::string::npos);
  for (int i : {2, 3}) {
    EXPECT_FALSE(reported[i].sent);
    EXPECT_EQ(reported[i].attempts, 0);
    EXPECT_EQ(reported[i].reason.rfind("malformed request message: ", 0), 0u) << reported[i].reason;
  }
  EXPECT_TRUE(reported[4].sent);
  ASSERT_EQ(collector.StoredRequests().size(), 1u);
  EXPECT_EQ(collector.StoredRequests()[0]["body"]["event_timestamp"], 7);
}

TEST(RequestSender, GivesUpAfterBoundedAttemptsWhenNothingListens) {
  ClosedPort closed;
  Outcomes outcomes;
  RequestSender sender(FastOptions(closed.Url(), 4), outcomes.Callback());
  sender.Submit(TestMessage(TestEvent("a_x", 1)));
  sender.Submit(TestMessage(nlohmann::json::array({TestEvent("a_x", 2), TestEvent("a_x", 3)})));
  ASSERT_TRUE(sender.Drain(20s));

  std::vector<DeliveryOutcome> reported = outcomes.Reported();
  ASSERT_EQ(reported.size(), 2u);
  for (const DeliveryOutcome& outcome : reported) {
    EXPECT_FALSE(outcome.sent);
    EXPECT_EQ(outcome.attempts, 4);
    EXPECT_EQ(outcome.status, 0);
    EXPECT_NE(outcome.reason.find("onnect"), std::string::npos) << outcome.reason;
  }
  EXPECT_EQ(reported[1].url, closed.Url() + "/v1/win/batch?project=sample-game");
}

TEST(RequestSender, ShutdownReportsEveryUnsentMessageAsFailed) {
  ClosedPort closed;
  Outcomes outcomes;
  SenderOptions options = FastOptions(closed.Url(), 5);
  options.firstRetryDelay = 1h;  // the first message is still waiting at shutdown
  auto sender = std::make_unique<RequestSender>(options, outcomes.Callback());
  sender->Submit(TestMessage(TestEvent("a_x", 1)));
  sender->Submit(TestMessage(TestEvent("a_x", 2)));
  sender->Submit("not a message");
  EXPECT_FALSE(sender->Drain(100ms));
  EXPECT_TRUE(outcomes.Reported().empty());
  sender.reset();  // must not wait out the hour

  std::vector<DeliveryOutcome> reported = outcomes.Reported();
  ASSERT_EQ(reported.size(), 3u) << "every message gets exactly one outcome";
  for (const DeliveryOutcome& outcome : reported) {
    EXPECT_FALSE(outcome.sent);
    EXPECT_EQ(outcome.reason, "shutdown");
  }
  EXPECT_LE(reported[0].attempts, 1);
  EXPECT_EQ(reported[1].attempts, 0);
  EXPECT_EQ(reported[1].url, closed.Url() + "/v1/win/record?project=sample-game");
  EXPECT_EQ(reported[2].url, "");
}

TEST(RequestSender, RefusesAnUnusableCollectorUrl) {
  EXPECT_THROW(RequestSender(FastOptions("ftp://127.0.0.1:1"), nullptr), InvalidCollectorUrl);
  EXPECT_THROW(RequestSender(FastOptions("127.0.0.1:8765"), nullptr), InvalidCollectorUrl);
}
