// The player's consent on the library's C++ face: held until given,
// denied with everything deleted, given again.
#include <gtest/gtest.h>

#include <sstream>

#include "collector_process.h"
#include "outbox.h"
#include "outbox_helpers.h"
#include "scratch_folder.h"
#include "test_messages.h"
#include "test_servers.h"

using namespace Delivery;
using namespace std::chrono_literals;

namespace {

OutboxOptions ConsentRequired() {
  OutboxOptions options = FastRetries();
  options.requireConsent = true;
  return options;
}

// The value of header `name` (given in lower case) in a recorded head.
std::string HeaderValue(const std::string& head, const std::string& name) {
  std::istringstream lines(head);
  for (std::string line; std::getline(lines, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::string lower = line.substr(0, line.find(':'));
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (lower == name) return line.substr(line.find(':') + 2);
  }
  return "";
}

}  // namespace

TEST(OutboxConsent, RequiredConsentHoldsRequestsUntilGivenThenTheyGoOldestFirst) {
  ScratchFolder folder;
  CollectorProcess collector;
  std::vector<std::string> keys;
  {
    Outbox outbox(folder.Path(), collector.Url(), ConsentRequired(), nullptr);
    EXPECT_EQ(outbox.CurrentConsent(), Consent::Undecided);
    for (int i = 0; i < 2; ++i) keys.push_back(Stored(outbox, TestMessage(TestEvent("a_x", i))));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(outbox.Wait(30s), 2) << "held: nothing is due";
    EXPECT_LT(std::chrono::steady_clock::now() - start, 10s) << "returns rather than waiting";
    EXPECT_TRUE(collector.StoredRequests().empty());
    EXPECT_TRUE(outbox.SetConsent(Consent::Given).written);
    EXPECT_EQ(outbox.Wait(20s), 0);
  }
  Outbox later(folder.Path(), collector.Url(), ConsentRequired(), nullptr);
  EXPECT_EQ(later.CurrentConsent(), Consent::Given) << "kept in the outbox";
  keys.push_back(Stored(later, TestMessage(TestEvent("a_x", 2))));
  EXPECT_EQ(later.Wait(20s), 0);
  EXPECT_EQ(StoredKeys(collector), keys);
}

TEST(OutboxConsent, DenialAbandonsTransfersDeletesEverythingAndStoresNothingAnywhere) {
  ScratchFolder folder;
  RecordingServer server("HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n", /*held=*/2);
  const auto requestsReach = [&](int count) {
    for (int tries = 0; tries < 2000 && server.Requests() < count; ++tries) {
      std::this_thread::sleep_for(10ms);
    }
    return server.Requests() >= count;
  };
  OutboxOptions options = FastRetries();
  options.transfer.requestTimeoutMs = 60000;  // a held transfer would last a minute
  Events events;
  Outbox sending(folder.Path(), server.Url(), options, events.Callback());
  Stored(sending, TestMessage(TestEvent("a_x", 1)));
  ASSERT_TRUE(requestsReach(1));                                // held: this handle sends
  Outbox other(folder.Path(), server.Url(), options, nullptr);  // as another process would

  EXPECT_TRUE(sending.SetConsent(Consent::Denied).written);
  const std::vector<DeliveryEvent> purged = events.AwaitOf(DeliveryEvent::Kind::Purged, 1);
  ASSERT_EQ(purged.size(), 1u);
  EXPECT_EQ(purged[0].count, 1);
  EXPECT_EQ(sending.Pending(), 0);
  for (Outbox* handle : {&sending, &other}) {
    EXPECT_EQ(handle->Submit(TestMessage(TestEvent("a_x", 9))).status,
              SubmitResult::Status::NoConsent);
    EXPECT_EQ(handle->CurrentConsent(), Consent::Denied);
  }

  // Given again: the held transfer was abandoned, so the next one starts.
  EXPECT_TRUE(sending.SetConsent(Consent::Given).written);
  Stored(sending, TestMessage(TestEvent("a_x", 2)));
  ASSERT_TRUE(requestsReach(2));

  // Denied by the other handle, and given at once: the transfer that was in
  // progress is abandoned all the same, and never resumed.
  EXPECT_TRUE(other.SetConsent(Consent::Denied).written);
  EXPECT_TRUE(other.SetConsent(Consent::Given).written);
  Stored(other, TestMessage(TestEvent("a_x", 3)));
  EXPECT_EQ(other.Wait(20s), 0);
  const std::vector<std::string> heads = server.Heads();
  ASSERT_EQ(heads.size(), 3u) << "the deleted requests are not sent again";
  EXPECT_EQ(HeaderValue(heads[2], "ostrel-sequence"), "3");
  EXPECT_EQ(HeaderValue(heads[2], "ostrel-dropped"), "consent=1-2");
  // The handle holding the sender lock sent the third; once a Wait has seen
  // it gone, it is in that handle's counts.
  EXPECT_EQ(sending.Wait(0ms), 0);
  EXPECT_EQ(sending.GetCounts().sent, 1) << "the abandoned two are not counted as sent";
}
