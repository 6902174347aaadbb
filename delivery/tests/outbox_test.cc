// The library end to end on its C++ face: requests stored, sent to a real
// collector (scripts/collector), retried, set aside, kept for a later run.
#include "outbox.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <set>
#include <sstream>
#include <thread>

#include "collector_process.h"
#include "fake_clock.h"
#include "outbox_helpers.h"
#include "scratch_folder.h"
#include "test_messages.h"
#include "test_servers.h"

using namespace Delivery;
using namespace std::chrono_literals;

namespace {

// Waits up to 20 s for `path` to exist.
bool AwaitFile(const std::string& path) {
  for (int tries = 0; tries < 2000 && !std::filesystem::exists(path); ++tries) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return std::filesystem::exists(path);
}

std::int64_t SizeOfFile(const std::string& path) {
  std::error_code missing;
  const auto size = std::filesystem::file_size(path, missing);
  return missing ? 0 : static_cast<std::int64_t>(size);
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
  std::vector<DeliveryEvent> retries = events.AwaitOf(DeliveryEvent::Kind::Retry, 1);
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
  std::vector<DeliveryEvent> setAside = events.AwaitOf(DeliveryEvent::Kind::Rejected, 1);
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

TEST(Outbox, EventsACallCausesReachTheCallbackFromTheLibrarysThreadAfterTheCallReturned) {
  ScratchFolder folder;
  std::ofstream(folder / "outbox.sqlite") << std::string(4096, 'n');  // moved aside at open
  ClosedPort refusing;
  OutboxOptions options = FastRetries();
  options.bounds.maxRequests = 2;
  std::mutex mutex;
  std::vector<DeliveryEvent> seen;
  bool anyOnCaller = false;
  const auto caller = std::this_thread::get_id();
  auto record = [&](const DeliveryEvent& event) {
    std::lock_guard<std::mutex> lock(mutex);
    anyOnCaller = anyOnCaller || std::this_thread::get_id() == caller;
    if (event.kind != DeliveryEvent::Kind::Retry) seen.push_back(event);
  };
  Outbox outbox(folder.Path(), refusing.Url(), options, record);
  std::vector<std::string> keys;
  for (int i = 0; i < 5; ++i) keys.push_back(Stored(outbox, TestMessage(TestEvent("a_x", i))));
  outbox.Close(0ms);  // hands over what is still queued
  std::lock_guard<std::mutex> lock(mutex);
  EXPECT_FALSE(anyOnCaller) << "called back from inside a call";
  ASSERT_EQ(seen.size(), 4u);
  EXPECT_EQ(seen[0].kind, DeliveryEvent::Kind::OutboxMoved);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(seen[i + 1].kind, DeliveryEvent::Kind::Dropped);
    EXPECT_EQ(seen[i + 1].key, keys[i]) << "in the order they happened";
    EXPECT_FALSE(seen[i + 1].senderThread) << "caused by a submit";
  }
}

TEST(Outbox, EveryConnectionUsesTheFreshFileOnceTheOutboxWasMovedAside) {
  ScratchFolder folder;
  const std::string path = folder / "outbox.sqlite";
  {
    ClosedPort refusing;
    Events events;
    Outbox outbox(folder.Path(), refusing.Url(), FastRetries(), events.Callback());
    Stored(outbox, TestMessage(TestEvent("a_old", 0)));
    events.AwaitOf(DeliveryEvent::Kind::Retry, 1);  // the sender has the file open too
    MoveAside(path, 1);                             // as a connection that found it damaged does
    for (int i = 0; i < 20; ++i) Stored(outbox, TestMessage(TestEvent("a_x", i)));
    EXPECT_EQ(outbox.Close(0ms), 20) << "the new requests are in the fresh file";
  }
  CollectorProcess collector;
  Outbox outbox(folder.Path(), collector.Url(), FastRetries(), nullptr);
  EXPECT_EQ(outbox.Wait(20s), 0);
  EXPECT_EQ(collector.StoredRequests().size(), 20u);
  MoveAside(path, 2);  // now behind the back of an idle sender
  for (int i = 0; i < 5; ++i) Stored(outbox, TestMessage(TestEvent("a_y", i)));
  EXPECT_EQ(outbox.Wait(20s), 0);
  EXPECT_EQ(collector.StoredRequests().size(), 25u) << "sent from the fresh file";

  ScratchFolder handshake;
  ClosedPort refusing;
  const pid_t other = SpawnProgram(
      {OUTBOX_WORKER, folder.Path(), refusing.Url(), "w", "10", "handshake", handshake.Path()});
  ASSERT_TRUE(AwaitFile(handshake / "stored"));
  MoveAside(path, 3);  // the other process stores its next 10 after this
  std::ofstream(handshake / "moved").close();
  EXPECT_EQ(WaitForProgram(other), 0);
  EXPECT_EQ(outbox.Pending(), 10) << "the other process's later stores are in the fresh file";

  // The whole folder replaced under its name: the store after it lands in
  // the new folder's file.
  ScratchFolder parent;
  const std::string stateFolder = parent / "state";
  Outbox replaced(stateFolder, refusing.Url(), FastRetries(), nullptr);
  Stored(replaced, TestMessage(TestEvent("a_before", 0)));
  std::filesystem::rename(stateFolder, parent / "state.old");
  std::filesystem::create_directory(stateFolder);
  std::filesystem::permissions(stateFolder, std::filesystem::perms::owner_all);
  Stored(replaced, TestMessage(TestEvent("a_after", 0)));
  EXPECT_EQ(replaced.Close(0ms), 1);
  EXPECT_EQ(OutboxStore(stateFolder, 0, nullptr).Pending(), 1) << "in the folder at the name";
}

TEST(Outbox, ARequestNoCollectorCouldTakeIsRefusedOrSetAsideAndTheNextGoesOn) {
  ScratchFolder folder;
  const std::string huge(1 << 20, 'p');
  const auto message = [](const std::string& url, const std::string& header) {
    return nlohmann::json{
        {"data", TestEvent("a_x", 1).dump()}, {"headers", {header, kContentTypeLine}}, {"url", url}}
        .dump();
  };
  {
    Outbox outbox(folder.Path(), ClosedPort().Url(), FastRetries(), nullptr);
    for (const std::string& text :
         {message("https://h/v1/win/record?project=sample-game&pad=" + huge, kApiKeyLine),
          message("https://h/v1/win/record?project=sample-game", kApiKeyLine + huge)}) {
      SubmitResult refused = outbox.Submit(text);
      EXPECT_EQ(refused.status, SubmitResult::Status::Malformed);
      EXPECT_NE(refused.error.find("longer than 8192"), std::string::npos) << refused.error;
    }
  }
  // Stored under other rules (an earlier version), ahead of a good request.
  {
    OutboxStore store(folder.Path(), 0, nullptr);
    const std::int64_t now = SystemClock().NowMs();
    OutgoingRequest unsendable{"/v1/win/record?project=sample-game&pad=" + huge,
                               {kApiKeyLine, kContentTypeLine},
                               TestEvent("a_x", 1).dump()};
    store.Insert("unsendable", unsendable, now, Bounds{});
    unsendable.target = "/v1/win/record?project=sample-game";
    store.Insert("good", unsendable, now, Bounds{});
  }
  CollectorProcess collector;
  Events events;
  Outbox outbox(folder.Path(), collector.Url(), FastRetries(), events.Callback());
  EXPECT_EQ(outbox.Wait(20s), 0);
  EXPECT_EQ(StoredKeys(collector), std::vector<std::string>{"good"});
  std::vector<DeliveryEvent> rejected = events.AwaitOf(DeliveryEvent::Kind::Rejected, 1);
  ASSERT_EQ(rejected.size(), 1u);
  EXPECT_EQ(rejected[0].key, "unsendable");
  EXPECT_EQ(rejected[0].status, 0);
  EXPECT_NE(rejected[0].reason.find("cannot be sent"), std::string::npos) << rejected[0].reason;
}

TEST(Outbox, SendingKeepsItsPaceWhenTheWallClockIsSetBackOrForward) {
  const std::int64_t day = 24 * 3600 * 1000LL;
  for (const std::int64_t shift : {-day, day}) {
    ScratchFolder folder;
    CollectorProcess collector({"--fail-first", "1"});
    ShiftedClock clock;
    OutboxOptions options = FastRetries();
    options.retry = {20, 60000};  // catch-up spacing up to a minute
    options.clock = &clock;
    Events events;
    Outbox outbox(folder.Path(), collector.Url(), options, events.Callback());
    for (int i = 0; i < 3; ++i) Stored(outbox, TestMessage(TestEvent("a_x", i)));
    events.AwaitOf(DeliveryEvent::Kind::Retry, 1);
    clock.Shift(shift);  // during the back-off delay: neither stalls nor spaces out the rest
    EXPECT_EQ(outbox.Wait(10s), 0) << "wall clock moved by " << shift << " ms";
  }
}

TEST(Outbox, CloseReturnsAtOnceWhateverTheTransferIsDoing) {
  OutboxOptions options = FastRetries();
  options.transfer.connectTimeoutMs = 30000;
  options.transfer.requestTimeoutMs = 30000;
  for (const auto stage : {HangingPort::Stage::Connect, HangingPort::Stage::Answer}) {
    for (int round = 0; round < 2; ++round) {
      ScratchFolder folder;
      HangingPort hanging(stage);
      Outbox outbox(folder.Path(), hanging.Url(), options, nullptr);
      Stored(outbox, TestMessage(TestEvent("a_x", 1)));
      std::this_thread::sleep_for(300ms);  // the transfer has begun, and hangs
      const auto start = std::chrono::steady_clock::now();
      EXPECT_EQ(outbox.Close(0ms), 1) << "kept";
      EXPECT_LT(std::chrono::steady_clock::now() - start, 250ms)
          << (stage == HangingPort::Stage::Connect ? "connecting" : "waiting for the answer");
    }
  }
}

TEST(Outbox, ADamagedLogCostsNoMoreThanTheLastSecondAndIsReported) {
  const std::pair<std::string, std::function<void(std::fstream&)>> damages[] = {
      {"a flipped byte in the first frame",
       [](std::fstream& log) {
         log.seekg(32 + 24 + 100);
         const char byte = static_cast<char>(log.get() ^ 0x40);
         log.seekp(32 + 24 + 100);
         log.put(byte);
       }},
      {"a zeroed header", [](std::fstream& log) { log.write(std::string(32, '\0').data(), 32); }},
  };
  for (const auto& [what, damage] : damages) {
    ScratchFolder folder;
    HangingPort hanging(HangingPort::Stage::Answer);  // the sender waits in its transfer
    // Stores 50, the last 49 while the transfer hangs, and is killed 1.5 s later.
    EXPECT_EQ(WaitForProgram(SpawnProgram(
                  {OUTBOX_WORKER, folder.Path(), hanging.Url(), "d", "50", "killed", "300"})),
              -1);
    {
      std::fstream log(folder / "outbox.sqlite-wal",
                       std::ios::in | std::ios::out | std::ios::binary);
      ASSERT_TRUE(log) << "the killed process left its log";
      damage(log);
    }
    Events events;
    Outbox outbox(folder.Path(), ClosedPort().Url(), FastRetries(), events.Callback());
    EXPECT_EQ(outbox.Close(0ms), 50) << what << ": copied into the database before the kill";
    std::vector<DeliveryEvent> damaged = events.Of(DeliveryEvent::Kind::OutboxDamaged);
    ASSERT_EQ(damaged.size(), 1u) << what;
    EXPECT_NE(damaged[0].reason.find("damaged"), std::string::npos) << damaged[0].reason;
    EXPECT_TRUE(std::filesystem::exists(damaged[0].path)) << "a copy of the log is kept";
    // The numbers the lost transactions may have given are skipped and told.
    OutboxStore store(folder.Path(), 0, nullptr);
    const std::vector<UnreportedRange> told = store.Unreported();
    ASSERT_EQ(told.size(), 1u) << what;
    EXPECT_EQ(told[0].reason, "damaged");
    EXPECT_EQ(told[0].stream, store.Stream().id);
    EXPECT_EQ(told[0].first, 51);
    EXPECT_EQ(told[0].last, store.LastSequence());
    EXPECT_GT(told[0].last, told[0].first);
  }
}

TEST(Outbox, EveryRequestReportedStoredSurvivesAKillAtAnyMoment) {
  for (const int killAfterMs : {7, 150, 400}) {  // before, about and after the first log copy
    ScratchFolder folder;
    const std::string keysFile = folder / "keys";
    const pid_t worker = SpawnProgram(
        {OUTBOX_WORKER, folder / "outbox", ClosedPort().Url(), "k", "60", "stream", keysFile});
    for (int tries = 0; tries < 20000 && SizeOfFile(keysFile) < 37; ++tries) {
      std::this_thread::sleep_for(1ms);
    }
    ASSERT_GE(SizeOfFile(keysFile), 37) << "the worker stores";
    std::this_thread::sleep_for(std::chrono::milliseconds(killAfterMs));
    kill(worker, SIGKILL);
    EXPECT_EQ(WaitForProgram(worker), -1);

    std::set<std::string> reported;
    std::ifstream keys(keysFile);
    for (std::string key; std::getline(keys, key);) {
      if (key.size() == 36) reported.insert(key);  // the last line may be cut short
    }
    std::set<std::string> kept;
    {
      OutboxStore store(folder / "outbox", 0, nullptr);
      while (std::optional<StoredRequest> oldest = store.OldestPending()) {
        kept.insert(oldest->key);
        store.Delivered(oldest->id);
      }
    }
    for (const std::string& key : reported) {
      EXPECT_EQ(kept.count(key), 1u) << "killed after " << killAfterMs << " ms: lost " << key;
    }
    EXPECT_GE(kept.size(), reported.size());
  }
}

TEST(Outbox, ALockFileThatIsNoFileIsMovedAsideAndSendingGoesOn) {
  ScratchFolder folder, elsewhere;
  CollectorProcess collector;
  const std::string victim = elsewhere / "program.lock";
  std::ofstream(victim).close();
  for (const bool link : {false, true}) {
    const std::string lock = folder / "outbox.lock";
    std::filesystem::remove_all(lock);
    ASSERT_EQ(link ? symlink(victim.c_str(), lock.c_str()) : mkdir(lock.c_str(), 0700), 0);
    Events events;
    Outbox outbox(folder.Path(), collector.Url(), FastRetries(), events.Callback());
    Stored(outbox, TestMessage(TestEvent("a_x", link)));
    EXPECT_EQ(outbox.Wait(10s), 0) << (link ? "a symbolic link" : "a folder");
    std::vector<DeliveryEvent> moved = events.AwaitOf(DeliveryEvent::Kind::OutboxMoved, 1);
    ASSERT_EQ(moved.size(), 1u);
    EXPECT_NE(moved[0].reason.find(link ? "symbolic link" : "folder"), std::string::npos)
        << moved[0].reason;
    const int fd = open(victim.c_str(), O_RDWR);
    EXPECT_EQ(flock(fd, LOCK_EX | LOCK_NB), 0) << "the link's target is not locked";
    close(fd);
  }
}

TEST(Outbox, OnlyTheMessagesOwnHeaderLinesGoOutAsTheyAre) {
  ScratchFolder folder;
  RecordingServer server("HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n");
  const std::vector<std::vector<std::string>> given = {
      {"X-Api-Key:"}, {"x-api-key:  k1", "Content-Type:", "Content-Type: text/plain"}};
  const std::vector<std::multiset<std::string>> expected = {
      {"x-api-key: "}, {"x-api-key: k1", "content-type: ", "content-type: text/plain"}};
  Outbox outbox(folder.Path(), server.Url(), FastRetries(), nullptr);
  std::vector<std::string> keys;
  for (const auto& headers : given) {
    keys.push_back(Stored(outbox, TestMessage(TestEvent("a_x", 1), "sample-game", headers)));
  }
  EXPECT_EQ(outbox.Wait(10s), 0);
  const std::string stream = OutboxStore(folder.Path(), 0, nullptr).Stream().id;
  const std::vector<std::string> heads = server.Heads();
  ASSERT_EQ(heads.size(), given.size());
  for (std::size_t i = 0; i < heads.size(); ++i) {
    std::multiset<std::string> lines;
    std::istringstream head(heads[i]);
    std::string line;
    std::getline(head, line);  // the request line
    while (std::getline(head, line)) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      const std::size_t colon = line.find(':');
      std::string name = line.substr(0, colon), value = line.substr(colon + 1);
      for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      value.erase(0, value.find_first_not_of(' ') == std::string::npos
                         ? value.size()
                         : value.find_first_not_of(' '));
      if (name != "host" && name != "content-length") lines.insert(name + ": " + value);
    }
    std::multiset<std::string> wanted = expected[i];
    wanted.insert("idempotency-key: " + keys[i]);
    wanted.insert("ostrel-stream: " + stream);
    wanted.insert("ostrel-sequence: " + std::to_string(i + 1));
    EXPECT_EQ(lines, wanted) << heads[i];
  }
}
