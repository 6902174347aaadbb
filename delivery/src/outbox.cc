#include "outbox.h"

#include <stdexcept>

#include "idempotency_key.h"

namespace Delivery {
namespace {

using std::chrono::milliseconds;

// How often Wait looks at the outbox while the sender works.
constexpr milliseconds kWaitPoll{100};

}  // namespace

Outbox::Outbox(const std::string& folder, const std::string& collectorUrl, OutboxOptions options,
               EventCallback onEvent)
    : folder(folder),
      options(options),
      onEvent(std::move(onEvent)),
      reporter(this->onEvent, /*senderThread=*/false, &counts) {
  CollectorAddress collector(collectorUrl);
  if (folder.empty()) throw std::invalid_argument("no outbox folder given");
  std::string movedTo;
  bool opened = false;
  {
    // Opened here first, so that an unreadable file is moved aside before
    // the sender looks at it. A folder that cannot be used is tried again
    // by Submit.
    std::lock_guard<std::mutex> lock(storeMutex);
    try {
      Store(movedTo);
      opened = true;
    } catch (const StoreError&) {
    }
  }
  reporter.Moved(movedTo);
  sender = std::make_unique<Sender>(
      SenderSetup{folder, collector, options, this->onEvent, &counts, &writers, opened});
}

Outbox::~Outbox() { Close(milliseconds(0)); }

OutboxStore& Outbox::Store(std::string& movedTo) {
  if (!store) {
    store = std::make_unique<OutboxStore>(folder, options.clock->NowMs(), &movedTo,
                                          options.maxPageCount, &writers);
  }
  return *store;
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
  std::vector<DroppedRequest> dropped;
  std::string movedTo;
  {
    std::lock_guard<std::mutex> lock(storeMutex);
    if (closed) {
      result.error = "the outbox is closed";
      return result;
    }
    try {
      std::string key = NewIdempotencyKey();
      dropped = Store(movedTo).Insert(key, request, options.clock->NowMs(), options.bounds);
      result = {SubmitResult::Status::Stored, key, bytes, ""};
    } catch (const StoreError& error) {
      if (error.unreadable) store.reset();  // moved aside when opened again
      result.error = std::string("not stored: ") + error.what();
    }
  }
  reporter.Moved(movedTo);
  if (result.status != SubmitResult::Status::Stored) return result;
  ++counts.stored;
  reporter.Dropped(dropped);
  sender->NudgeIfIdle();
  return result;
}

std::optional<std::int64_t> Outbox::Pending() {
  std::optional<std::int64_t> pending;
  std::string movedTo;
  {
    std::lock_guard<std::mutex> lock(storeMutex);
    if (closed) return leftAtClose;
    try {
      pending = Store(movedTo).Pending();
    } catch (const StoreError&) {
    }
  }
  reporter.Moved(movedTo);
  return pending;
}

std::optional<std::int64_t> Outbox::Wait(milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  const std::int64_t deadlineMs = options.clock->NowMs() + timeout.count();
  for (;;) {
    std::optional<std::int64_t> pending = Pending();
    if (!pending || *pending == 0 || closed) return pending;  // closed: nothing sends
    const auto left =
        std::chrono::duration_cast<milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left <= milliseconds(0) || sender->SleepingUntilMs() > deadlineMs) return pending;
    sender->WaitForStep(std::min(left, kWaitPoll));
  }
}

std::optional<std::int64_t> Outbox::Close(milliseconds wait) {
  {
    std::lock_guard<std::mutex> lock(storeMutex);
    if (closed) return leftAtClose;
  }
  Wait(wait);
  sender->Stop();
  std::string movedTo;
  std::optional<std::int64_t> left;
  {
    std::lock_guard<std::mutex> lock(storeMutex);
    if (closed) return leftAtClose;
    try {
      leftAtClose = Store(movedTo).Pending();
    } catch (const StoreError&) {
    }
    closed = true;
    store.reset();
    left = leftAtClose;
  }
  reporter.Moved(movedTo);
  return left;
}

Counts Outbox::GetCounts() const {
  return {counts.stored, counts.sent, counts.retries, counts.rejected, counts.dropped};
}

void Outbox::Nudge() { sender->Nudge(); }

}  // namespace Delivery
