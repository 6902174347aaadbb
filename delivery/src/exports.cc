// The C interface: the only place C meets the library's C++. Every function
// checks its arguments, then does its work inside one guard, so that no
// exception leaves it.
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <exception>
#include <mutex>
#include <new>

#include "gzip_body.h"
#include "ostrel_delivery.h"
#include "outbox.h"

// A handle outlives its outbox: Close releases the outbox but keeps the
// handle (a few dozen bytes, until the process ends), so that a call racing
// Close, or made after it, finds a closed handle instead of freed memory.
struct Delivery_Outbox {
  std::mutex mutex;
  std::condition_variable callsLeft;
  int calls = 0;  // calls in progress
  bool closed = false;
  std::int64_t leftAtClose = -1;
  std::unique_ptr<Delivery::Outbox> outbox;
  Delivery_Outbox* next = nullptr;  // the handles opened before this one
};

static_assert(Delivery::kMaxTargetBytes == DELIVERY_MAX_TARGET_SIZE);
static_assert(Delivery::kGzipThresholdBytes == DELIVERY_GZIP_THRESHOLD);
static_assert(static_cast<int>(Delivery::Consent::Given) == DELIVERY_CONSENT_GIVEN);
static_assert(static_cast<int>(Delivery::Consent::Denied) == DELIVERY_CONSENT_DENIED);
static_assert(static_cast<int>(Delivery::Consent::Undecided) == DELIVERY_CONSENT_UNDECIDED);
static_assert(Delivery::kMaxHeaderLineBytes == DELIVERY_MAX_HEADER_LINE_SIZE);

namespace {

using std::chrono::milliseconds;

// Every handle ever opened, so that leak checks see them as kept on purpose.
std::atomic<Delivery_Outbox*> allHandles{nullptr};

void Keep(Delivery_Outbox* handle) {
  handle->next = allHandles.load();
  while (!allHandles.compare_exchange_weak(handle->next, handle)) {
  }
}

// One call on a handle: its outbox while the handle is open, null once it
// is closed. Close waits for the calls in progress before it releases the
// outbox.
class Call {
 public:
  explicit Call(Delivery_Outbox* handle) : handle(handle) {
    std::lock_guard<std::mutex> lock(handle->mutex);
    if (handle->closed) return;
    ++handle->calls;
    outbox = handle->outbox.get();
  }
  ~Call() {
    if (outbox == nullptr) return;
    std::lock_guard<std::mutex> lock(handle->mutex);
    if (--handle->calls == 0) handle->callsLeft.notify_all();
  }
  Call(const Call&) = delete;
  Call& operator=(const Call&) = delete;
  Delivery::Outbox* Outbox() const { return outbox; }

 private:
  Delivery_Outbox* const handle;
  Delivery::Outbox* outbox = nullptr;
};

void WriteText(const std::string& text, char* target, size_t size) {
  if (target == nullptr || size == 0) return;
  const size_t length = std::min(text.size(), size - 1);
  std::memcpy(target, text.data(), length);
  target[length] = '\0';
}

// Runs `work`; an exception it throws becomes `failed`, with its text after
// `prefix` in `error` (cut to errorSize bytes; may be null).
template <typename Result, typename Work>
Result Guarded(Result failed, char* error, size_t errorSize, const char* prefix, Work&& work) {
  try {
    return work();
  } catch (const std::exception& e) {
    WriteText(std::string(prefix) + e.what(), error, errorSize);
  } catch (...) {
    WriteText(std::string(prefix) + "unknown failure", error, errorSize);
  }
  return failed;
}

std::int64_t OrDefault(std::int64_t value, std::int64_t fallback) {
  return value > 0 ? value : fallback;
}

Delivery::OutboxOptions ToOptions(const Delivery_Options* given) {
  Delivery_Options defaults;
  Delivery_DefaultOptions(&defaults);
  const Delivery_Options& o = given ? *given : defaults;
  Delivery::OutboxOptions options;
  options.bounds.maxRequests = OrDefault(o.maxRequests, defaults.maxRequests);
  options.bounds.maxBytes = OrDefault(o.maxBytes, defaults.maxBytes);
  options.bounds.maxAgeMs = OrDefault(o.maxAgeSeconds, defaults.maxAgeSeconds) * 1000;
  options.retry.firstRetryMs = OrDefault(o.firstRetryMs, defaults.firstRetryMs);
  options.retry.maxRetryMs = OrDefault(o.maxRetryMs, defaults.maxRetryMs);
  options.transfer.connectTimeoutMs = OrDefault(o.connectTimeoutMs, defaults.connectTimeoutMs);
  options.transfer.requestTimeoutMs = OrDefault(o.requestTimeoutMs, defaults.requestTimeoutMs);
  options.requireConsent = o.requireConsent > 0;
  options.compression = o.uncompressed <= 0;
  return options;
}

Delivery::EventCallback ToCallback(Delivery_EventCallback onEvent, void* context) {
  if (onEvent == nullptr) return nullptr;
  return [onEvent, context](const Delivery::DeliveryEvent& event) {
    const Delivery_Event plain{static_cast<int32_t>(event.kind),
                               event.key.c_str(),
                               event.status,
                               event.attempts,
                               event.delayMs,
                               event.reason.c_str(),
                               event.path.c_str(),
                               event.senderThread ? 1 : 0,
                               event.count};
    onEvent(context, &plain);
  };
}

int64_t PendingOrUnknown(const std::optional<std::int64_t>& pending) {
  return pending ? *pending : -1;
}

int64_t CloseOpenHandle(Delivery_Outbox* handle, int64_t waitMs) {
  {
    std::lock_guard<std::mutex> lock(handle->mutex);
    if (handle->closed) return handle->leftAtClose;
    // From the callback on its own handle: its thread cannot wait for itself.
    if (handle->outbox->OnEventThread()) return -1;
    handle->closed = true;  // no call starts from here on
  }
  const int64_t left = PendingOrUnknown(handle->outbox->Close(milliseconds(waitMs)));
  std::unique_ptr<Delivery::Outbox> outbox;
  {
    // The calls in progress return soon: Close made them give up their waits.
    std::unique_lock<std::mutex> lock(handle->mutex);
    handle->callsLeft.wait(lock, [&] { return handle->calls == 0; });
    handle->leftAtClose = left;
    outbox = std::move(handle->outbox);
  }
  return left;
}

}  // namespace

extern "C" {

const char* Delivery_Version(void) { return OSTREL_DELIVERY_VERSION; }

void Delivery_DefaultOptions(Delivery_Options* options) {
  if (options == nullptr) return;
  const Delivery::OutboxOptions defaults;
  options->maxRequests = defaults.bounds.maxRequests;
  options->maxBytes = defaults.bounds.maxBytes;
  options->maxAgeSeconds = defaults.bounds.maxAgeMs / 1000;
  options->firstRetryMs = defaults.retry.firstRetryMs;
  options->maxRetryMs = defaults.retry.maxRetryMs;
  options->connectTimeoutMs = defaults.transfer.connectTimeoutMs;
  options->requestTimeoutMs = defaults.transfer.requestTimeoutMs;
  options->requireConsent = defaults.requireConsent ? 1 : 0;
  options->uncompressed = defaults.compression ? 0 : 1;
}

int32_t Delivery_CheckCollectorUrl(const char* collectorUrl, char* error, size_t errorSize) {
  const std::string url = collectorUrl ? collectorUrl : "";
  return Guarded<int32_t>(0, error, errorSize, "", [&] {
    Delivery::CollectorAddress address(url);
    return 1;
  });
}

Delivery_Outbox* Delivery_Open(const char* folder, const char* collectorUrl,
                               const Delivery_Options* options, Delivery_EventCallback onEvent,
                               void* context, char* error, size_t errorSize) {
  return Guarded<Delivery_Outbox*>(nullptr, error, errorSize, "", [&] {
    auto handle = std::make_unique<Delivery_Outbox>();
    handle->outbox =
        std::make_unique<Delivery::Outbox>(folder ? folder : "", collectorUrl ? collectorUrl : "",
                                           ToOptions(options), ToCallback(onEvent, context));
    Keep(handle.get());
    return handle.release();
  });
}

int32_t Delivery_Submit(Delivery_Outbox* handle, const char* message, char* key, int64_t* bytes,
                        char* error, size_t errorSize) {
  if (handle == nullptr || message == nullptr) {
    WriteText("no outbox or no message given", error, errorSize);
    return DELIVERY_MALFORMED;
  }
  return Guarded<int32_t>(DELIVERY_NOT_STORED, error, errorSize, "not stored: ", [&] {
    const Call call(handle);
    if (call.Outbox() == nullptr) {
      WriteText("not stored: the outbox is closed", error, errorSize);
      return DELIVERY_NOT_STORED;
    }
    const Delivery::SubmitResult result = call.Outbox()->Submit(std::string_view(message));
    switch (result.status) {
      case Delivery::SubmitResult::Status::Stored:
        WriteText(result.key, key, key ? DELIVERY_KEY_SIZE : 0);
        if (bytes) *bytes = result.bytes;
        return DELIVERY_STORED;
      case Delivery::SubmitResult::Status::Malformed:
        WriteText(result.error, error, errorSize);
        return DELIVERY_MALFORMED;
      case Delivery::SubmitResult::Status::NoConsent:
        WriteText(result.error, error, errorSize);
        return DELIVERY_NO_CONSENT;
      case Delivery::SubmitResult::Status::NotStored:
        break;
    }
    WriteText(result.error, error, errorSize);
    return DELIVERY_NOT_STORED;
  });
}

int32_t Delivery_SetConsent(Delivery_Outbox* handle, int32_t consent, char* error,
                            size_t errorSize) {
  if (handle == nullptr) {
    WriteText("no outbox given", error, errorSize);
    return 0;
  }
  if (consent != DELIVERY_CONSENT_GIVEN && consent != DELIVERY_CONSENT_DENIED) {
    WriteText("consent is DELIVERY_CONSENT_GIVEN (1) or DELIVERY_CONSENT_DENIED (2), not " +
                  std::to_string(consent),
              error, errorSize);
    return 0;
  }
  return Guarded<int32_t>(0, error, errorSize, "", [&] {
    const Call call(handle);
    if (call.Outbox() == nullptr) {
      WriteText("the outbox is closed", error, errorSize);
      return 0;
    }
    const Delivery::ConsentResult result = call.Outbox()->SetConsent(
        consent == DELIVERY_CONSENT_GIVEN ? Delivery::Consent::Given : Delivery::Consent::Denied);
    if (!result.written) WriteText(result.error, error, errorSize);
    return result.written ? 1 : 0;
  });
}

int32_t Delivery_Consent(Delivery_Outbox* handle) {
  if (handle == nullptr) return -1;
  return Guarded<int32_t>(-1, nullptr, 0, "", [&] {
    const Call call(handle);
    if (call.Outbox() == nullptr) return -1;
    const std::optional<Delivery::Consent> consent = call.Outbox()->CurrentConsent();
    return consent ? static_cast<int32_t>(*consent) : -1;
  });
}

int64_t Delivery_Pending(Delivery_Outbox* handle) {
  if (handle == nullptr) return -1;
  return Guarded<int64_t>(-1, nullptr, 0, "", [&] {
    const Call call(handle);
    return call.Outbox() ? PendingOrUnknown(call.Outbox()->Pending()) : -1;
  });
}

int64_t Delivery_Wait(Delivery_Outbox* handle, int64_t timeoutMs) {
  if (handle == nullptr) return -1;
  const milliseconds timeout(std::max<int64_t>(timeoutMs, 0));
  return Guarded<int64_t>(-1, nullptr, 0, "", [&] {
    const Call call(handle);
    return call.Outbox() ? PendingOrUnknown(call.Outbox()->Wait(timeout)) : -1;
  });
}

void Delivery_GetCounts(Delivery_Outbox* handle, Delivery_Counts* counts) {
  if (counts == nullptr) return;
  *counts = Delivery_Counts{};
  if (handle == nullptr) return;
  Guarded<int>(0, nullptr, 0, "", [&] {
    const Call call(handle);
    if (call.Outbox() == nullptr) return 0;
    const Delivery::Counts c = call.Outbox()->GetCounts();
    *counts = {c.stored, c.sent, c.retries, c.rejected, c.dropped};
    return 0;
  });
}

int64_t Delivery_Close(Delivery_Outbox* handle, int64_t waitMs) {
  if (handle == nullptr) return 0;
  return Guarded<int64_t>(-1, nullptr, 0, "",
                          [&] { return CloseOpenHandle(handle, std::max<int64_t>(waitMs, 0)); });
}

}  // extern "C"
