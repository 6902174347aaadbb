#include "sender.h"

#include <pthread.h>
#include <sched.h>

#include <algorithm>
#include <random>

#include "outbox_folder.h"

namespace Delivery {
namespace {

using std::chrono::milliseconds;

// How often the sender looks again when it cannot send: another process
// holds the sender lock, the outbox cannot be opened, or it is empty (a
// request stored by another process is noticed within this time).
constexpr milliseconds kPollInterval{1000};

// How often the sender copies the outbox's log into its database and drops
// requests past a bound.
constexpr milliseconds kUpkeepInterval{1000};

// A checkpoint syncs the disk twice (milliseconds each), and the log starts
// over only when one copied all of it with no store in between. Stores that
// come faster than that keep it growing; past this size the sender makes
// this process's stores wait for one short checkpoint (see KeepLogShort).
constexpr std::int64_t kLongLogBytes = 32 << 20;

std::uint64_t RandomSeed() {
  std::random_device device;
  return (static_cast<std::uint64_t>(device()) << 32) ^ device();
}

}  // namespace

Sender::Sender(SenderSetup setup)
    : setup(std::move(setup)),
      clock(*this->setup.options.clock),
      reporter(this->setup.onEvent, /*senderThread=*/true, this->setup.counts),
      schedule(this->setup.options.retry, RandomSeed()),
      thread([this] { Run(); }) {}

Sender::~Sender() { Stop(); }

void Sender::Stop() {
  {
    std::lock_guard<std::mutex> lock(mutex);
    stopping = true;
  }
  abandon = true;
  changed.notify_all();
  if (thread.joinable()) thread.join();
}

void Sender::Nudge() {
  {
    std::lock_guard<std::mutex> lock(mutex);
    nudged = true;
  }
  changed.notify_all();
}

void Sender::NudgeIfIdle() {
  {
    std::lock_guard<std::mutex> lock(mutex);
    storedSince = true;
    if (!idle) return;
    nudged = true;
  }
  changed.notify_all();
}

void Sender::WaitForStep(milliseconds timeout) {
  std::unique_lock<std::mutex> lock(mutex);
  const std::uint64_t seen = steps;
  changed.wait_for(lock, timeout, [&] { return steps != seen || stopping; });
}

std::int64_t Sender::SleepingUntilMs() {
  std::lock_guard<std::mutex> lock(mutex);
  return sleepingUntilMs;
}

bool Sender::Stopping() {
  std::lock_guard<std::mutex> lock(mutex);
  return stopping;
}

// Waits until `untilMs` on the outbox's clock (0: no particular time), at
// most `longest`, or until nudged or stopped.
void Sender::Sleep(std::int64_t untilMs, milliseconds longest) {
  std::unique_lock<std::mutex> lock(mutex);
  ++steps;
  changed.notify_all();
  if (nudged || stopping || (untilMs == 0 && storedSince)) {
    nudged = false;
    return;
  }
  sleepingUntilMs = untilMs;
  idle = untilMs == 0;
  milliseconds wait = longest;
  if (untilMs > 0) wait = std::min(wait, milliseconds(untilMs - clock.NowMs()));
  changed.wait_for(lock, std::max(wait, milliseconds(0)), [this] { return nudged || stopping; });
  nudged = false;
  idle = false;
  sleepingUntilMs = 0;
}

void Sender::Run() {
  // Background work: a batch thread never preempts the thread that wakes it
  // (the game thread, right after storing a request).
  const sched_param batch{};
  pthread_setschedparam(pthread_self(), SCHED_BATCH, &batch);
  HttpTransfer transfer(setup.options.transfer, abandon);
  SenderLock senderLock(setup.folder);
  std::unique_ptr<OutboxStore> store;
  bool firstOpening = true;
  while (!Stopping()) {
    if (!senderLock.TryAcquire()) {  // another process sends
      Sleep(0, kPollInterval);
      continue;
    }
    try {
      if (!store) {
        std::string movedTo;
        // The first opening may skip the check the caller's connection has
        // just made; opening again after an error looks at the file.
        const bool checkFile = !(firstOpening && setup.fileChecked);
        firstOpening = false;
        store = std::make_unique<OutboxStore>(setup.folder, clock.NowMs(), &movedTo,
                                              setup.options.maxPageCount, setup.writers, checkFile);
        reporter.Moved(movedTo);
      }
      Step(*store, transfer);
    } catch (const StoreError&) {
      store.reset();  // opened again on the next turn
      Sleep(0, kPollInterval);
    }
  }
}

void Sender::Step(OutboxStore& store, HttpTransfer& transfer) {
  {
    std::lock_guard<std::mutex> lock(mutex);
    storedSince = false;
  }
  const auto now = std::chrono::steady_clock::now();
  if (now - lastUpkeep >= kUpkeepInterval) {
    Upkeep(store);
    lastUpkeep = now;
  }
  std::optional<StoredRequest> head = store.OldestPending();
  if (!head) {
    schedule.OnIdle();
    Sleep(0, kPollInterval);
    return;
  }
  // The first attempt of a run goes out at once: requests kept by an
  // earlier run are sent first, without waiting out that run's back-off.
  const std::int64_t due =
      firstAttemptOfRun ? 0 : std::max(head->nextAttemptMs, schedule.NotBeforeMs());
  if (due > clock.NowMs()) {
    Sleep(due, kPollInterval);
    return;
  }
  firstAttemptOfRun = false;
  Send(store, transfer, *head);
}

void Sender::Upkeep(OutboxStore& store) {
  reporter.Dropped(store.DropOverBounds(clock.NowMs(), setup.options.bounds));
  KeepLogShort(store);
}

// Copies the log into the database (this thread's work, never the game
// thread's), so that it starts over and stays short: stores then write
// into pages the system already holds.
void Sender::KeepLogShort(OutboxStore& store) {
  if (store.Checkpoint() < kLongLogBytes || setup.writers == nullptr) return;
  // The first copied the long log; this one copies what came in meanwhile,
  // so that the one the stores wait for copies only a few milliseconds' worth.
  store.Checkpoint();
  std::lock_guard<std::mutex> turn(*setup.writers);
  store.Checkpoint();
}

void Sender::Send(OutboxStore& store, HttpTransfer& transfer, const StoredRequest& head) {
  std::vector<std::string> headers = head.request.headers;
  headers.push_back("Idempotency-Key: " + head.key);
  AttemptResult result = transfer.Post(setup.collector.Target(head.request.target), headers,
                                       head.request.body, clock.NowMs());
  const std::int64_t now = clock.NowMs();
  const int attempts = head.attempts + 1;
  switch (result.outcome) {
    case AttemptResult::Outcome::Abandoned:
      return;  // stopping: the request stays as it was
    case AttemptResult::Outcome::Delivered:
      store.Delete(head.id);
      schedule.OnAnswer(now, store.Pending());
      ++setup.counts->sent;
      reporter.Report({DeliveryEvent::Kind::Sent, head.key, result.status, attempts, 0, "", ""});
      break;
    case AttemptResult::Outcome::Rejected:
      store.SetAside(head.id, attempts, result.status, result.reason);
      schedule.OnAnswer(now, store.Pending());
      ++setup.counts->rejected;
      reporter.Report(
          {DeliveryEvent::Kind::Rejected, head.key, result.status, attempts, 0, result.reason, ""});
      break;
    case AttemptResult::Outcome::Retry: {
      const std::int64_t delay = schedule.OnFailure(attempts, result.retryAfterMs, now);
      store.ScheduleRetry(head.id, attempts, now + delay);
      ++setup.counts->retries;
      reporter.Report({DeliveryEvent::Kind::Retry, head.key, result.status, attempts, delay,
                       result.reason, ""});
      break;
    }
  }
  std::lock_guard<std::mutex> lock(mutex);
  ++steps;
  changed.notify_all();
}

}  // namespace Delivery
