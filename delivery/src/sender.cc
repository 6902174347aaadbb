#include "sender.h"

#include <pthread.h>
#include <sched.h>

#include <algorithm>
#include <random>

#include "dropped_notice.h"
#include "gzip_body.h"
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
      transfer(this->setup.options.transfer,
               [this] { return abandon || this->setup.decision->denials != denialsAtSend; }),
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
    sleepingUntilMs = 0;  // looks again: whatever it waited for may have changed
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

// Waits until `untilMs` on the steady clock (0: no particular time;
// kHeldMs: held for consent, which a store does not change), at most
// `longest`, or until nudged or stopped.
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
  if (untilMs > 0 && untilMs != kHeldMs) {
    wait = std::min(wait, milliseconds(untilMs - clock.SteadyMs()));
  }
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
  pthread_setname_np(pthread_self(), "delivery-send");
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
  WriteDecision(store);
  // Read before the stream: a denial made meanwhile through this handle is
  // in one or the other (see SetConsent in outbox.cc).
  const std::uint64_t denials = setup.decision->denials;
  const Consent unwritten = setup.decision->unwritten;
  const StreamState stream = store.Stream();
  if (Held(unwritten, stream)) {
    Sleep(kHeldMs, kPollInterval);
    return;
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
  Send(store, *head, stream, denials);
}

void Sender::Upkeep(OutboxStore& store) {
  reporter.Dropped(store.DropOverBounds(clock.NowMs(), setup.options.bounds));
  store.Checkpoint();
  if (store.Stream().purgeOwed) store.ClearPurged();
}

void Sender::WriteDecision(OutboxStore& store) {
  ConsentDecision& decision = *setup.decision;
  if (decision.unwritten == Consent::Undecided) return;
  std::lock_guard<std::mutex> lock(decision.writing);
  if (const std::optional<std::int64_t> purged = WriteOwedDecision(decision, store)) {
    reporter.Purged(*purged);
  }
}

bool Sender::Held(Consent unwritten, const StreamState& stream) const {
  const Consent consent = unwritten != Consent::Undecided ? unwritten : stream.consent;
  return consent == Consent::Denied ||
         (consent == Consent::Undecided && setup.options.requireConsent);
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

// The request's lines and Idempotency-Key, its place in the stream, what
// the collector has not yet been told, and the body, compressed when it is
// large enough and the collector takes gzip. The same body compresses to
// the same bytes, so it is compressed once for all its attempts.
Sender::Outgoing Sender::Prepare(OutboxStore& store, const StoredRequest& head,
                                 const StreamState& stream) {
  Outgoing out{head.request.headers, &head.request.body, false, store.Unreported()};
  out.headers.push_back("Idempotency-Key: " + head.key);
  out.headers.push_back("Ostrel-Stream: " + stream.id);
  out.headers.push_back("Ostrel-Sequence: " + std::to_string(head.id));
  if (!out.told.empty()) out.headers.push_back("Ostrel-Dropped: " + DroppedNotice(out.told));
  const std::size_t size = head.request.body.size();
  if (!setup.options.compression || stream.gzipRefused || gzipRefused ||
      size <= kGzipThresholdBytes || size > kGzipLargestBytes) {
    return out;
  }
  try {
    if (!gzipped || gzipped->first != head.id) gzipped.emplace(head.id, Gzip(head.request.body));
  } catch (const std::exception&) {
    gzipped.reset();
    return out;  // no memory for zlib: sent as it is
  }
  out.body = &gzipped->second;
  out.gzipped = true;
  out.headers.push_back("Content-Encoding: gzip");
  return out;
}

void Sender::Send(OutboxStore& store, const StoredRequest& head, const StreamState& stream,
                  std::uint64_t denialsSeen) {
  const std::string unsendable = UnsendableReason(head.request);
  if (!unsendable.empty()) {
    Record(store, head, {AttemptResult::Outcome::Rejected, 0, "cannot be sent: " + unsendable, {}},
           {});
    StepMade();
    return;
  }
  const Outgoing out = Prepare(store, head, stream);
  denialsAtSend = denialsSeen;
  const AttemptResult result = transfer.Post(
      setup.collector.Target(head.request.target), out.headers, *out.body, clock.NowMs(), [&] {
        try {
          store.Checkpoint();
          return store.Stream().denials == stream.denials;  // denied by another process
        } catch (const StoreError&) {
          return true;
        }
      });
  if (result.outcome == AttemptResult::Outcome::Abandoned) return;  // the request stays as it was
  if (out.gzipped && result.status == 415) {
    // Not an outage and not the request's fault: the same request goes
    // again at once, uncompressed, and so does every later one.
    gzipRefused = true;
    store.RefuseGzip();
    store.ScheduleRetry(head.id, head.attempts + 1, clock.NowMs());
    headDue = Due{head.id, clock.SteadyMs()};
    ++setup.counts->retries;
    reporter.Report({DeliveryEvent::Kind::Retry, head.key, 415, head.attempts + 1, 0,
                     result.reason + " (gzip refused: bodies go uncompressed from now on)", ""});
  } else {
    Record(store, head, result, out.told);
  }
  StepMade();
}

void Sender::StepMade() {
  std::lock_guard<std::mutex> lock(mutex);
  ++steps;
  changed.notify_all();
}

void Sender::Record(OutboxStore& store, const StoredRequest& head, const AttemptResult& result,
                    const std::vector<UnreportedRange>& told) {
  const std::int64_t now = clock.SteadyMs();
  const int attempts = head.attempts + 1;
  std::lock_guard<std::mutex> lock(recording);
  switch (result.outcome) {
    case AttemptResult::Outcome::Abandoned:
      break;
    case AttemptResult::Outcome::Delivered:
      store.Delivered(head.id, told);
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
