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

// How often the sender copies the outbox's log into its database (so that
// damage to the log can cost no more than this much of requests) and drops
// requests past a bound.
constexpr std::int64_t kUpkeepIntervalMs = 1000;

std::uint64_t RandomSeed() {
  std::random_device device;
  return (static_cast<std::uint64_t>(device()) << 32) ^ device();
}

}  // namespace

Sender::Sender(SenderSetup setup)
    : setup(std::move(setup)),
      clock(*this->setup.options.clock),
      reporter(*this->setup.events, /*senderThread=*/true, this->setup.counts),
      schedule(this->setup.options.retry, RandomSeed()),
      transfer(this->setup.options.transfer, abandon),
      thread([this] { Run(); }) {}

Sender::~Sender() { Stop(); }

void Sender::Stop() {
  {
    std::lock_guard<std::mutex> lock(mutex);
    stopping = true;
  }
  abandon = true;
  transfer.Wakeup();
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

// Waits until `untilMs` on the steady clock (0: no particular time), at
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
  if (untilMs > 0) wait = std::min(wait, milliseconds(untilMs - clock.SteadyMs()));
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
  SenderLock senderLock(setup.folder);
  std::unique_ptr<OutboxStore> store;
  bool firstOpening = true;
  while (!Stopping()) {
    if (!HoldSenderLock(senderLock)) {  // another process sends, or the lock is unusable
      Sleep(0, kPollInterval);
      continue;
    }
    try {
      if (store && !store->IsCurrent()) store.reset();  // moved aside: the fresh file now
      if (!store) {
        std::vector<OutboxNotice> notices;
        StoreOptions options{setup.options.maxPageCount, setup.writers, true, &abandon};
        // The first opening may skip the check the caller's connection has
        // just made; opening again after an error looks at the file.
        options.checkFile = !(firstOpening && setup.fileChecked);
        firstOpening = false;
        try {
          store = std::make_unique<OutboxStore>(setup.folder, clock.NowMs(), &notices, options);
        } catch (const StoreError&) {
          reporter.Noticed(notices);
          throw;
        }
        reporter.Noticed(notices);
      }
      Step(*store);
    } catch (const StoreError&) {
      store.reset();  // opened again on the next turn
      Sleep(0, kPollInterval);
    }
  }
}

// Takes (or keeps) the sender lock; reports a lock file moved aside, and a
// lock that cannot be taken at all once per reason.
bool Sender::HoldSenderLock(SenderLock& lock) {
  SenderLock::Attempt attempt = lock.TryAcquire(clock.NowMs());
  reporter.Noticed(attempt.notices);
  if (!attempt.problem.empty() && attempt.problem != lockProblem) {
    reporter.Report({DeliveryEvent::Kind::OutboxDamaged, "", 0, 0, 0,
                     "nothing is sent: " + attempt.problem, ""});
  }
  lockProblem = attempt.problem;
  return attempt.held;
}

void Sender::Step(OutboxStore& store) {
  {
    std::lock_guard<std::mutex> lock(mutex);
    storedSince = false;
  }
  if (clock.SteadyMs() - lastUpkeepMs >= kUpkeepIntervalMs) {
    Upkeep(store);
    lastUpkeepMs = clock.SteadyMs();
  }
  std::optional<StoredRequest> head = store.OldestPending();
  if (!head) {
    schedule.OnIdle();
    Sleep(0, kPollInterval);
    return;
  }
  const std::int64_t due = DueMs(*head);
  if (due > clock.SteadyMs()) {
    Sleep(due, kPollInterval);
    return;
  }
  firstAttemptOfRun = false;
  Send(store, *head);
}

void Sender::Upkeep(OutboxStore& store) {
  reporter.Dropped(store.DropOverBounds(clock.NowMs(), setup.options.bounds));
  store.Checkpoint();
}

// When the head request may go, on the steady clock. The first attempt of a
// run goes out at once: requests kept by an earlier run are sent first,
// without waiting out that run's back-off. A next-attempt time this run did
// not set comes from disk, in wall-clock time: trusted at most the longest
// delay ahead.
std::int64_t Sender::DueMs(const StoredRequest& head) {
  if (firstAttemptOfRun) return 0;
  if (!headDue || headDue->id != head.id) {
    const std::int64_t wait = std::clamp<std::int64_t>(head.nextAttemptMs - clock.NowMs(), 0,
                                                       LongestDelayMs(setup.options.retry));
    headDue = Due{head.id, clock.SteadyMs() + wait};
  }
  return std::max(headDue->steadyMs, schedule.NotBeforeMs());
}

void Sender::Send(OutboxStore& store, const StoredRequest& head) {
  AttemptResult result;
  const std::string unsendable = UnsendableReason(head.request);
  if (unsendable.empty()) {
    std::vector<std::string> headers = head.request.headers;
    headers.push_back("Idempotency-Key: " + head.key);
    result = transfer.Post(setup.collector.Target(head.request.target), headers, head.request.body,
                           clock.NowMs(), [&] {
                             try {
                               store.Checkpoint();
                             } catch (const StoreError&) {
                             }
                           });
  } else {
    result = {AttemptResult::Outcome::Rejected, 0, "cannot be sent: " + unsendable, {}};
  }
  if (result.outcome == AttemptResult::Outcome::Abandoned) return;  // the request stays as it was
  Record(store, head, result);
  std::lock_guard<std::mutex> lock(mutex);
  ++steps;
  changed.notify_all();
}

void Sender::Record(OutboxStore& store, const StoredRequest& head, const AttemptResult& result) {
  const std::int64_t now = clock.SteadyMs();
  const int attempts = head.attempts + 1;
  switch (result.outcome) {
    case AttemptResult::Outcome::Abandoned:
      break;
    case AttemptResult::Outcome::Delivered:
      store.Delete(head.id);
      schedule.OnAnswer(now, store.Pending());
      ++setup.counts->sent;
      reporter.Report({DeliveryEvent::Kind::Sent, head.key, result.status, attempts, 0, "", ""});
      break;
    case AttemptResult::Outcome::Rejected:
      store.SetAside(head.id, attempts, result.status, result.reason);
      if (result.status != 0) schedule.OnAnswer(now, store.Pending());
      ++setup.counts->rejected;
      reporter.Report(
          {DeliveryEvent::Kind::Rejected, head.key, result.status, attempts, 0, result.reason, ""});
      break;
    case AttemptResult::Outcome::Retry: {
      const std::int64_t delay = schedule.OnFailure(attempts, result.retryAfterMs, now);
      store.ScheduleRetry(head.id, attempts, clock.NowMs() + delay);
      headDue = Due{head.id, now + delay};
      ++setup.counts->retries;
      reporter.Report({DeliveryEvent::Kind::Retry, head.key, result.status, attempts, delay,
                       result.reason, ""});
      break;
    }
  }
}

}  // namespace Delivery
