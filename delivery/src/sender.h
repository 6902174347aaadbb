// The sender thread: takes the oldest pending request from the outbox,
// posts it to the collector with its place in the stream and what left the
// outbox undelivered, and records what came of it, one request at a time,
// waiting out back-off and catch-up delays in between, and holding while
// the player's consent is missing. Its waits run on the monotonic clock; it
// copies the outbox's log into the database at least once a second, during
// a transfer too.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "collector_address.h"
#include "consent_decision.h"
#include "delivery_event.h"
#include "event_reporter.h"
#include "http_transfer.h"
#include "outbox_options.h"
#include "outbox_store.h"
#include "send_schedule.h"

namespace Delivery {

struct SenderSetup {
  std::string folder;
  CollectorAddress collector;
  OutboxOptions options;
  EventDelivery* events;
  SharedCounts* counts;
  ConsentDecision* decision = nullptr;
  std::mutex* writers = nullptr;  // the turn to write of this process's connections
  // The caller's connection has just opened and checked the file, so the
  // sender's first opening need not check it again.
  bool fileChecked = false;
};

class Sender {
 public:
  explicit Sender(SenderSetup setup);  // starts the thread
  ~Sender();                           // Stop()
  Sender(const Sender&) = delete;
  Sender& operator=(const Sender&) = delete;

  // Look at the outbox again now: the clock moved.
  void Nudge();
  // A request was stored: look again when idle (a sender waiting out a
  // delay would only wait again).
  void NudgeIfIdle();

  // Waits at most `timeout` for the sender to make a step (or for a nudge).
  void WaitForStep(std::chrono::milliseconds timeout);

  // Waits for an outcome being recorded to be counted: a waiter that sees a
  // request gone from the outbox then also sees it in the handle's counts.
  void AwaitRecorded() { std::lock_guard<std::mutex> lock(recording); }

  // The time (on the outbox clock's SteadyMs) the sender waits for before
  // its next attempt; 0 when it is not waiting for a time (sending, idle,
  // or another process sends); kHeldMs while consent holds it.
  std::int64_t SleepingUntilMs();
  static constexpr std::int64_t kHeldMs = INT64_MAX;

  // A denial was just made through this handle: a transfer in progress
  // stops now.
  void WakeTransfer() { transfer.Wakeup(); }

  // Stops the thread at once, whatever it is doing: a transfer in progress
  // is abandoned, its request kept.
  void Stop();

 private:
  struct Due {
    std::int64_t id;
    std::int64_t steadyMs;
  };

  // What a Send posts besides the message's own lines and body.
  struct Outgoing {
    std::vector<std::string> headers;
    const std::string* body;
    bool gzipped;
    std::vector<UnreportedRange> told;
  };

  void Run();
  bool HoldSenderLock(SenderLock& lock);
  void Step(OutboxStore& store);
  void Upkeep(OutboxStore& store);
  // Writes a decision the caller could not; reports a purge.
  void WriteDecision(OutboxStore& store);
  bool Held(Consent unwritten, const StreamState& stream) const;
  std::int64_t DueMs(const StoredRequest& head);
  Outgoing Prepare(OutboxStore& store, const StoredRequest& head, const StreamState& stream);
  void Send(OutboxStore& store, const StoredRequest& head, const StreamState& stream,
            std::uint64_t denialsSeen);
  void Record(OutboxStore& store, const StoredRequest& head, const AttemptResult& result,
              const std::vector<UnreportedRange>& told);
  void StepMade();
  void Sleep(std::int64_t untilMs, std::chrono::milliseconds longest);
  bool Stopping();

  const SenderSetup setup;
  const Clock& clock;
  const EventReporter reporter;
  SendSchedule schedule;
  bool firstAttemptOfRun = true;
  std::int64_t lastUpkeepMs = 0;
  std::optional<Due> headDue;  // the head request's next attempt, on the steady clock
  std::string lockProblem;     // reported once until it changes
  bool gzipRefused = false;    // the collector answered 415 to a compressed body
  std::optional<std::pair<std::int64_t, std::string>> gzipped;  // the head's body, compressed

  std::mutex recording;  // held from an outcome's commit until it is counted
  std::mutex mutex;
  std::condition_variable changed;  // nudged, stopping, or a step made
  bool nudged = false;
  bool idle = false;         // waiting for work, not for a time
  bool storedSince = false;  // a request was stored since the step began
  bool stopping = false;
  std::int64_t sleepingUntilMs = 0;
  std::uint64_t steps = 0;
  std::atomic<bool> abandon{false};  // stopping: read by the transfer and the outbox's waits
  std::atomic<std::uint64_t> denialsAtSend{0};  // the count of denials the transfer began under
  HttpTransfer transfer;
  std::thread thread;  // last: starts once everything above is ready
};

}  // namespace Delivery
