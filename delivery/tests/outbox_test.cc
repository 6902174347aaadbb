// The library end to end on its C++ face: requests stored, sent to a real
// collector (scripts/collector), retried, set aside, kept for a later run.
#include "outbox.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <mutex>
#include <set>

#include "collector_process.h"
#include "fake_clock.h"
#include "scratch_folder.h"
#include "test_messages.h"

using namespace Delivery;
using namespace std::chrono_literals;

namespace {

// Collects the events the library reports, from any thread.
class Events {
 public:
  EventCallback Callback() {
    return [this](const DeliveryEvent& event) {
      std::lock_guard<std::mutex> lock(mutex);
      reported.push_back(event);
    };
  }
  std::vector<DeliveryEvent> Of(DeliveryEvent::Kind kind) {
    std::lock_guard<std::mutex> lock(mutex);
    std::vector<DeliveryEvent> found;
    for (const DeliveryEvent& event : reported) {
      if (event.kind == kind) found.push_back(event);
    }
    return found;
  }

 private:
  std::mutex mutex;
  std::vector<DeliveryEvent> reported;
};

OutboxOptions FastRetries() {
  OutboxOptions options;
  options.retry = {20, 100};
  options.transfer.connectTimeoutMs = 2000;
  options.transfer.requestTimeoutMs = 5000;
  return options;
}

std::string Stored(Outbox& outbox, const std::string& message) {
  SubmitResult result = outbox.Submit(message);
  EXPECT_EQ(result.status, SubmitResult::Status::Stored) << result.error;
  return result.key;
}

std::vector<std::string> StoredKeys(const CollectorProcess& collector) {
  std::vector<std::string> keys;
  for (const nlohmann::json& request : collector.StoredRequests()) keys.push_back(request["key"]);
  return keys;
}

}  // namespace

TEST(Outbox, DeliversOldestFirstByteForByteWithOneKeyPerRequest) {
  ScratchFolder folder;
  CollectorProcess collector({"--project", "sample-game", "--fail-first", "1"});
  Events events;
  std::vector<std::string> messages;
  nlohmann::json odd = TestEvent("c_odd", 3);
  odd["attributes"]["dsa_text"] = "caf\xC3\xA9 \xF0\x9F\x9B\xA9 \"q\" \\ \n\t\x01 </>";
  for (const nlohmann::json& body :
       {TestEvent("_session.start", 1), nlohmann::json::array({TestEvent("a_Levelup", 2), odd})}) {
    messages.push_back(
        TestMessage(body, "sample-game", {"X-Extra: left out", kApiKeyLine, kContentTypeLine}));
  }
  std::vector<std::string> keys;
  {
    Outbox outbox(folder.Path(), collector.Url() + "/", FastRetries(), events.Callback());
    for (const std::string& message : messages) keys.push_back(Stored(outbox, message));
    EXPECT_EQ(outbox.Wait(20s), 0);
    EXPECT_EQ(outbox.Close(0ms), 0);
    const Counts counts = outbox.GetCounts();
    EXPECT_EQ(counts.stored, 2);
    EXPECT_EQ(counts.sent, 2);
    EXPECT_EQ(counts.retries, 1);
  }
  EXPECT_NE(keys[0], keys[1]);
  EXPECT_EQ(StoredKeys(collector), keys);
  std::vector<nlohmann::json> stored = collector.StoredRequests();
  for (std::size_t i = 0; i < messages.size(); ++i) {
    const std::string data = nlohmann::json::parse(messages[i])["data"];
    EXPECT_EQ(stored[i]["sha256"], Sha256Hex(data)) << "body " << i << " byte for byte";
  }
  EXPECT_EQ(stored[1]["path"], "/v1/win/batch");

  std::vector<DeliveryEvent> retries = events.Of(DeliveryEvent::Kind::Retry);
  ASSERT_EQ(retries.size(), 1u);
  EXPECT_EQ(retries[0].key, keys[0]) << "the same key on every attempt";
  EXPECT_EQ(retries[0].status, 500);
  EXPECT_TRUE(retries[0].senderThread);
  std::vector<DeliveryEvent> sent = events.Of(DeliveryEvent::Kind::Sent);
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[0].attempts, 2);
  EXPECT_EQ(sent[1].attempts, 1);
  EXPECT_EQ(sent[1].status, 200);
}

TEST(Outbox, WhatARefusingCollectorLeavesIsSentFirstByTheNextRun) {
  ScratchFolder folder;
  std::vector<std::string> keys;
  {
    ClosedPort refusing;
    Events events;
    Outbox outbox(folder.Path(), refusing.Url(), FastRetries(), events.Callback());
    keys.push_back(Stored(outbox, TestMessage(TestEvent("a_x", 1))));
    keys.push_back(Stored(outbox, TestMessage(TestEvent("a_x", 2))));
    while (events.Of(DeliveryEvent::Kind::Retry).size() < 3) outbox.Wait(50ms);
    EXPECT_EQ(outbox.Close(50ms), 2) << "both kept for the next run";
    for (const DeliveryEvent& retry : events.Of(DeliveryEvent::Kind::Retry)) {
      EXPECT_EQ(retry.key, keys[0]) << "oldest first: the second waits";
      EXPECT_EQ(retry.status, 0);
      EXPECT_NE(retry.reason.find("onnect"), std::string::npos) << retry.reason;
      EXPECT_LE(retry.delayMs, 100);
    }
  }
  CollectorProcess collector;
  Outbox outbox(folder.Path(), collector.Url(), FastRetries(), nullptr);
  keys.push_back(Stored(outbox, TestMessage(TestEvent("a_x", 3))));
  EXPECT_EQ(outbox.Wait(20s), 0);
  EXPECT_EQ(StoredKeys(collector), keys) << "kept requests first, then the new one";
  EXPECT_EQ(collector.Duplicates(), 0);
}

TEST(Outbox, RetryAfterIsHonouredOnTheOutboxClock) {
  ScratchFolder folder;
  CollectorProcess collector({"--fail-first", "1", "--fail-status", "503", "--retry-after", "30"});
  FakeClock clock;
  OutboxOptions options = FastRetries();
  options.clock = &clock;
  Events events;
  Outbox outbox(folder.Path(), collector.Url(), options, events.Callback());
  const std::string key = Stored(outbox, TestMessage(TestEvent("a_x", 1)));
  EXPECT_EQ(outbox.Wait(10s), 1) << "returns once the next attempt is due after the wait";
  std::vector<DeliveryEvent> retries = events.Of(DeliveryEvent::Kind::Retry);
  ASSERT_EQ(retries.size(), 1u);
  EXPECT_EQ(retries[0].status, 503);
  EXPECT_EQ(retries[0].delayMs, 30000);
  clock.Advance(29000);
  outbox.Nudge();
  EXPECT_EQ(outbox.Wait(300ms), 1);
  EXPECT_TRUE(collector.StoredRequests().empty());
  clock.Advance(1000);
  outbox.Nudge();
  EXPECT_EQ(outbox.Wait(10s), 0);
  EXPECT_EQ(StoredKeys(collector), std::vector<std::string>{key});
}

TEST(Outbox, ARejectedRequestIsSetAsideAndTheNextGoesOn) {
  ScratchFolder folder;
  CollectorProcess collector({"--project", "sample-game"});
  Events events;
  Outbox outbox(folder.Path(), collector.Url(), FastRetries(), events.Callback());
  const std::string rejected = Stored(outbox, TestMessage(TestEvent("a_x", 1), "other-game"));
  const std::string good = Stored(outbox, TestMessage(TestEvent("a_x", 2)));
  EXPECT_EQ(outbox.Wait(20s), 0);
  EXPECT_EQ(outbox.GetCounts().rejected, 1);
  std::vector<DeliveryEvent> setAside = events.Of(DeliveryEvent::Kind::Rejected);
  ASSERT_EQ(setAside.size(), 1u);
  EXPECT_EQ(setAside[0].key, rejected);
  EXPECT_EQ(setAside[0].status, 400);
  EXPECT_EQ(setAside[0].attempts, 1);
  EXPECT_NE(setAside[0].reason.find("is not \\\"sample-game\\\""), std::string::npos)
      << setAside[0].reason;
  EXPECT_EQ(StoredKeys(collector), std::vector<std::string>{good});
  outbox.Close(0ms);
  OutboxStore store(folder.Path(), 0, nullptr);
  EXPECT_EQ(store.Rejected(), 1) << "kept for inspection";
}

TEST(Outbox, SubmitReportsAFolderItCannotWriteOrAFullDiskAndStoresLater) {
  ScratchFolder scratch;
  ClosedPort refusing;
  const std::string message = TestMessage(TestEvent("a_x", 1));

  // Permissions do not stop root: the read-only check runs as an ordinary
  // user in a child process, forked while this process has no other thread.
  const std::string readOnly = scratch / "read-only";
  mkdir(readOnly.c_str(), 0500);
  pid_t child = fork();
  if (child == 0) {
    if (geteuid() == 0 &&
        (chown(readOnly.c_str(), 65534, 65534) != 0 || setgid(65534) != 0 || setuid(65534) != 0)) {
      _exit(10);
    }
    Outbox outbox(readOnly + "/outbox", refusing.Url(), FastRetries(), nullptr);
    SubmitResult result = outbox.Submit(message);
    const bool reported = result.status == SubmitResult::Status::NotStored &&
                          result.error.find("Permission denied") != std::string::npos;
    _exit(reported && !outbox.Pending() ? 0 : 11);
  }
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;

  chmod(readOnly.c_str(), 0700);  // the folder can be written again
  Outbox outbox(readOnly + "/outbox", refusing.Url(), FastRetries(), nullptr);
  EXPECT_EQ(outbox.Submit(message).status, SubmitResult::Status::Stored);
  EXPECT_EQ(outbox.Submit("{").status, SubmitResult::Status::Malformed);

  OutboxOptions full = FastRetries();
  full.maxPageCount = 8;
  Outbox cramped(scratch / "full", refusing.Url(), full, nullptr);
  EXPECT_EQ(cramped.Submit(message).status, SubmitResult::Status::Stored);
  SubmitResult tooMuch = cramped.Submit(TestMessage(std::string(64 * 1024, 'x')));
  EXPECT_EQ(tooMuch.status, SubmitResult::Status::NotStored);
  EXPECT_NE(tooMuch.error.find("full"), std::string::npos) << tooMuch.error;
  EXPECT_EQ(cramped.Pending(), 1);
}

TEST(Outbox, TwoProcessesSharingAnOutboxSendEachRequestOnceUnderItsKey) {
  ScratchFolder folder;
  CollectorProcess collector;
  const int perProcess = 25;
  std::vector<pid_t> workers;
  for (const char* name : {"first", "second"}) {
    workers.push_back(SpawnProgram(
        {OUTBOX_WORKER, folder.Path(), collector.Url(), name, std::to_string(perProcess)}));
  }
  for (pid_t worker : workers) EXPECT_EQ(WaitForProgram(worker), 0);

  std::vector<nlohmann::json> stored = collector.StoredRequests();
  EXPECT_EQ(stored.size(), 2u * perProcess);
  std::set<std::string> keys, bodies;
  for (const nlohmann::json& request : stored) {
    keys.insert(request["key"].get<std::string>());
    bodies.insert(request["body"].dump());
  }
  EXPECT_EQ(keys.size(), stored.size());
  EXPECT_EQ(bodies.size(), stored.size());
  EXPECT_EQ(collector.Duplicates(), 0);
}
