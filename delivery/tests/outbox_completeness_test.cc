// What reaches the collector besides the requests: each one's place in its
// stream, what left the outbox undelivered, and bodies compressed.
#include <gtest/gtest.h>

#include "collector_process.h"
#include "gzip_body.h"
#include "outbox.h"
#include "outbox_helpers.h"
#include "scratch_folder.h"
#include "test_messages.h"

using namespace Delivery;
using namespace std::chrono_literals;

namespace {

std::string Batch(int events) {
  nlohmann::json body = nlohmann::json::array();
  for (int i = 0; i < events; ++i) body.push_back(TestEvent("a_Levelup", i));
  return TestMessage(body);
}

std::string Data(const std::string& message) { return nlohmann::json::parse(message)["data"]; }

}  // namespace

TEST(OutboxCompleteness, TheCollectorIsToldOfEveryRequestThatLeftUndelivered) {
  ScratchFolder folder;
  OutboxOptions options = FastRetries();
  options.bounds.maxRequests = 2;
  {
    Outbox offline(folder.Path(), ClosedPort().Url(), options, nullptr);
    for (int i = 1; i <= 5; ++i) Stored(offline, TestMessage(TestEvent("a_x", i)));  // 1-3 dropped
  }
  CollectorProcess collector({"--project", "sample-game", "--fail-first", "1"}, /*ledger=*/true);
  Events events;
  Outbox outbox(folder.Path(), collector.Url(), options, events.Callback());
  EXPECT_EQ(outbox.Wait(20s), 0);
  Stored(outbox, TestMessage(TestEvent("a_x", 6), "other-game"));  // rejected: told by the next
  EXPECT_EQ(outbox.Wait(20s), 0);
  Stored(outbox, TestMessage(TestEvent("a_x", 7)));
  EXPECT_EQ(outbox.Wait(20s), 0);
  ASSERT_EQ(events.Of(DeliveryEvent::Kind::Retry).size(), 1u) << "the notice goes again";

  const nlohmann::json streams = collector.Streams();
  ASSERT_EQ(streams.size(), 1u);
  EXPECT_EQ(streams.begin().key(), OutboxStore(folder.Path(), 0, nullptr).Stream().id);
  const nlohmann::json& ledger = streams.begin().value();
  EXPECT_EQ(ledger["highest"], 7);
  EXPECT_EQ(ledger["delivered"], 3);
  EXPECT_EQ(ledger["dropped"], (nlohmann::json{{"count", 3}, {"rejected", 1}}));
  EXPECT_EQ(ledger["unaccounted"], 0) << ledger.dump();
  EXPECT_TRUE(OutboxStore(folder.Path(), 0, nullptr).Unreported().empty()) << "acknowledged";
  std::vector<std::int64_t> numbers;
  for (const nlohmann::json& request : collector.StoredRequests()) {
    numbers.push_back(request["sequence"]);
  }
  EXPECT_EQ(numbers, (std::vector<std::int64_t>{4, 5, 7}));
}

TEST(OutboxCompleteness, LargeBodiesGoCompressedAndA415SendsThemAsTheyAreFromThenOn) {
  const std::string large = Batch(30), small = TestMessage(TestEvent("a_x", 1));
  ASSERT_GT(Data(large).size(), kGzipThresholdBytes);
  ASSERT_LE(Data(small).size(), kGzipThresholdBytes);
  struct Case {
    const char* what;
    std::vector<std::string> collectorOptions;
    bool compression;
    std::vector<std::string> encodings;
  };
  const Case cases[] = {
      {"compressed", {}, true, {"gzip", "identity", "gzip"}},
      {"compression off", {}, false, {"identity", "identity", "identity"}},
      {"gzip refused", {"--refuse-gzip"}, true, {"identity", "identity", "identity"}},
  };
  for (const Case& c : cases) {
    ScratchFolder folder;
    CollectorProcess collector(c.collectorOptions);
    OutboxOptions options = FastRetries();
    options.compression = c.compression;
    Events events;
    {
      Outbox outbox(folder.Path(), collector.Url(), options, events.Callback());
      for (const std::string& message : {large, small}) Stored(outbox, message);
      EXPECT_EQ(outbox.Wait(20s), 0) << c.what;
    }
    Outbox later(folder.Path(), collector.Url(), options, events.Callback());
    Stored(later, large);
    EXPECT_EQ(later.Wait(20s), 0) << c.what;

    const std::vector<nlohmann::json> stored = collector.StoredRequests();
    ASSERT_EQ(stored.size(), 3u) << c.what;
    for (std::size_t i = 0; i < stored.size(); ++i) {
      const std::string data = Data(i == 1 ? small : large);
      EXPECT_EQ(stored[i]["encoding"], c.encodings[i]) << c.what << " " << i;
      EXPECT_EQ(stored[i]["sha256"], Sha256Hex(data)) << c.what << ": byte for byte";
      if (c.encodings[i] == "gzip") {
        EXPECT_LT(stored[i]["wire_bytes"].get<std::size_t>() * 8, data.size());
      }
    }
    const std::vector<DeliveryEvent> retries = events.Of(DeliveryEvent::Kind::Retry);
    const bool refused = !c.collectorOptions.empty();
    ASSERT_EQ(retries.size(), refused ? 1u : 0u) << c.what << ": the outbox remembers";
    if (refused) {
      EXPECT_EQ(retries[0].status, 415);
      EXPECT_EQ(retries[0].delayMs, 0);
    }
    EXPECT_EQ(events.Of(DeliveryEvent::Kind::Rejected).size(), 0u) << c.what;
  }
}
