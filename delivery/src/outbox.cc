#include "outbox.h"

#include <stdexcept>

#include "idempotency_key.h"

namespace Delivery {
namespace {

using std::chrono::milliseconds;

// How often Wait looks at the outbox while the sender works.
constexpr milliseconds kWaitPoll{100};

SubmitResult NoConsent() {
  return {SubmitResult::Status::NoConsent, "", 0, "not stored: the player has denied consent"};
}

}  // namespace

Outbox::Outbox(const std::string& folder, const std::string& collectorUrl, OutboxOptions options,
               EventCallback onEvent)
    : folder(folder),
      options(options),
      events(std::move(onEvent)),
      reporter(events, /*senderThread=*/false, &counts),
      copier([this] {
        std::vector<OutboxNotice> notices;
        try {
          auto opened = std::make_unique<OutboxStore>(
              this->folder, this->options.clock->NowMs(), &notices,
              StoreOptions{this->options.maxPageCount, &writers, /*checkFile=*/false, &closing});
          reporter.Noticed(notices);
          return opened;
        } catch (const StoreError&) {
          reporter.Noticed(notices);
          throw;
        }
      }) {
  CollectorAddress collector(collectorUrl);
  if (folder.empty()) throw std::invalid_argument("no outbox folder given");
  std::vector<OutboxNotice> notices;
  bool opened = false;
  {
    // Opened here first, so that an unreadable file is moved aside before
    // the sender looks at it. A folder that cannot be used is tried again
    // by Submit.
    std::lock_guard<std::mutex> lock(storeMutex);
    try {
      Store(notices);
      opened = true;
    } catch (const StoreError&) {
    }
  }
  reporter.Noticed(notices);
  sender = std::make_unique<Sender>(
      SenderSetup{folder, collector, options, &events, &counts, &decision, &writers, opened});
}

Outbox::~Outbox() { Close(milliseconds(0)); }

OutboxStore& Outbox::Store(std::vector<OutboxNotice>& notices, Look look) {
  // Moved aside: the fresh file now.
  if (store && !(look == Look::InFolder ? store->LooksCurrent() : store->IsCurrent())) {
    store.reset();
  }
  if (!store) {
    store = std::make_unique<OutboxStore>(
        folder, options.clock->NowMs(), &notices,
        StoreOptions{options.maxPageCount, &writers, /*checkFile=*/true, &closing},
        [this] { copier.Request(); });
  }
  return *store;
}

InsertResult Outbox::Insert(const std::string& key, const OutgoingRequest& request,
                            std::vector<OutboxNotice>& notices) {
  for (int tries = 0;; ++tries) {
    InsertResult inserted =
        Store(notices, Look::InFolder).Insert(key, request, options.clock->NowMs(), options.bounds);
    // Moved aside between the look before and the commit: the row may be in
    // a file that is never sent. Stored again (same key) in the fresh one.
    // This look walks the whole path: a replaced folder counts too.
    if (store->IsCurrent()) return inserted;
    store.reset();
    if (tries == 2) throw StoreError("the outbox file was replaced during each of three stores");
  }
}

SubmitResult Outbox::Submit(std::string_view messageText) {
  SubmitResult result;
  OutgoingRequest request;
  try {
    request = ReadRequestMessage(messageText);
  } catch (const MalformedMessage& error) {
    result.status = SubmitResult::Status::Malformed;
    result.error = error.what();
    return result;
  }
  const std::int64_t bytes = RequestBytes(request);
  if (bytes > options.bounds.maxBytes) {
    result.error = "request of " + std::to_string(bytes) + " bytes exceeds the outbox's bound of " +
                   std::to_string(options.bounds.maxBytes) + " bytes";
    return result;
  }
  if (decision.unwritten == Consent::Denied) return NoConsent();
  InsertResult inserted;
  std::vector<OutboxNotice> notices;
  {
    std::lock_guard<std::mutex> lock(storeMutex);
    if (closing) {
      result.error = "not stored: the outbox is closed";
      return result;
    }
    try {
      std::string key = NewIdempotencyKey();
      inserted = Insert(key, request, notices);
      result = inserted.stored ? SubmitResult{SubmitResult::Status::Stored, key, bytes, ""}
                               : NoConsent();
    } catch (const StoreError& error) {
      if (error.unreadable) store.reset();  // moved aside when opened again
      result.error = std::string("not stored: ") + error.what();
    }
  }
  reporter.Noticed(notices);
  if (result.status != SubmitResult::Status::Stored) return result;
  ++counts.stored;
  reporter.Dropped(inserted.dropped);
  sender->NudgeIfIdle();
  return result;
}

// The order matters to the sender (see Sender::Step): the decision is
// owed, and the count of denials raised, before the outbox holds it, and
// the debt is cleared only after.
ConsentResult Outbox::SetConsent(Consent given) {
  ConsentResult result;
  std::vector<OutboxNotice> notices;
  std::optional<std::int64_t> purged;
  {
    std::lock_guard<std::mutex> writing(decision.writing);
    decision.unwritten = given;
    if (given == Consent::Denied) {
      ++decision.denials;
      sender->WakeTransfer();
    }
    std::lock_guard<std::mutex> lock(storeMutex);
    try {
      if (closing) throw StoreError("the outbox is closed");
      OutboxStore& current = Store(notices);
      purged = WriteOwedDecision(decision, current);
      result.written = true;
    } catch (const StoreError& error) {
      if (error.unreadable) store.reset();
      result.error = std::string("not kept in the outbox yet: ") + error.what();
    }
  }
  reporter.Noticed(notices);
  if (purged) reporter.Purged(*purged);
  sender->Nudge();
  return result;
}

bool Outbox::HeldForConsent() {
  const std::optional<Consent> consent = CurrentConsent();
  return consent == Consent::Denied || (consent == Consent::Undecided && options.requireConsent);
}

std::optional<Consent> Outbox::CurrentConsent() {
  const Consent unwritten = decision.unwritten;
  if (unwritten != Consent::Undecided) return unwritten;
  std::optional<Consent> current;
  std::vector<OutboxNotice> notices;
  {
    std::lock_guard<std::mutex> lock(storeMutex);
    if (closed) return std::nullopt;
    try {
      current = Store(notices).Stream().consent;
    } catch (const StoreError&) {
    }
  }
  reporter.Noticed(notices);
  return current;
}

std::optional<std::int64_t> Outbox::Pending() {
  std::optional<std::int64_t> pending;
  std::vector<OutboxNotice> notices;
  {
    std::lock_guard<std::mutex> lock(storeMutex);
    if (closed) return leftAtClose;
    try {
      pending = Store(notices).Pending();
    } catch (const StoreError&) {
    }
  }
  reporter.Noticed(notices);
  return pending;
}

std::optional<std::int64_t> Outbox::Wait(milliseconds timeout) {
  return WaitUntil(timeout, /*untilClosing=*/true);
}

std::optional<std::int64_t> Outbox::WaitUntil(milliseconds timeout, bool untilClosing) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  const std::int64_t deadlineMs = options.clock->SteadyMs() + timeout.count();
  for (;;) {
    std::optional<std::int64_t> pending = Pending();
    if (pending == 0) sender->AwaitRecorded();
    // Closed, or closing on another thread: nothing sends any more.
    if (!pending || *pending == 0 || closed || (untilClosing && closing)) return pending;
    const auto left =
        std::chrono::duration_cast<milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left <= milliseconds(0)) return pending;
    const std::int64_t sleepingUntil = sender->SleepingUntilMs();
    if (sleepingUntil == Sender::kHeldMs) {
      // The sender looks again within its poll; consent given by another
      // handle or process since is seen now.
      if (HeldForConsent()) return pending;
      sender->Nudge();
    } else if (sleepingUntil > deadlineMs) {
      return pending;
    }
    sender->WaitForStep(std::min(left, kWaitPoll));
  }
}

std::optional<std::int64_t> Outbox::Close(milliseconds wait) {
  if (closed) return leftAtClose;
  WaitUntil(wait, /*untilClosing=*/false);
  closing = true;
  sender->Stop();
  std::vector<OutboxNotice> notices;
  std::optional<std::int64_t> left, purged;
  {
    std::lock_guard<std::mutex> writing(decision.writing);  // before storeMutex, as in SetConsent
    std::lock_guard<std::mutex> lock(storeMutex);
    if (closed) return leftAtClose;
    try {
      OutboxStore& last = Store(notices);
      // A decision the sender could not write yet: the last chance.
      if (decision.unwritten != Consent::Undecided) purged = WriteOwedDecision(decision, last);
      leftAtClose = last.Pending();
      last.Checkpoint();  // what is stored is in the database, not only in its log
    } catch (const StoreError&) {
    }
    closed = true;
    store.reset();
    left = leftAtClose;
  }
  copier.Stop();
  reporter.Noticed(notices);
  if (purged) reporter.Purged(*purged);
  events.Finish();
  return left;
}

Counts Outbox::GetCounts() const {
  return {counts.stored, counts.sent, counts.retries, counts.rejected, counts.dropped};
}

void Outbox::Nudge() { sender->Nudge(); }

}  // namespace Delivery
