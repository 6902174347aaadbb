// The C interface: the only place C meets the library's C++. No exception
// leaves it.
#include <cstring>
#include <exception>
#include <new>

#include "ostrel_delivery.h"
#include "outbox.h"

struct Delivery_Outbox {
  std::unique_ptr<Delivery::Outbox> outbox;
};

namespace {

using std::chrono::milliseconds;

void WriteText(const std::string& text, char* target, size_t size) {
  if (target == nullptr || size == 0) return;
  const size_t length = std::min(text.size(), size - 1);
  std::memcpy(target, text.data(), length);
  target[length] = '\0';
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
                               event.senderThread ? 1 : 0};
    onEvent(context, &plain);
  };
}

int64_t PendingOrUnknown(const std::optional<std::int64_t>& pending) {
  return pending ? *pending : -1;
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
}

int32_t Delivery_CheckCollectorUrl(const char* collectorUrl, char* error, size_t errorSize) {
  try {
    Delivery::CollectorAddress address(collectorUrl ? collectorUrl : "");
    return 1;
  } catch (const std::exception& e) {
    WriteText(e.what(), error, errorSize);
  } catch (...) {
    WriteText("unknown failure", error, errorSize);
  }
  return 0;
}

Delivery_Outbox* Delivery_Open(const char* folder, const char* collectorUrl,
                               const Delivery_Options* options, Delivery_EventCallback onEvent,
                               void* context, char* error, size_t errorSize) {
  try {
    auto handle = std::make_unique<Delivery_Outbox>();
    handle->outbox =
        std::make_unique<Delivery::Outbox>(folder ? folder : "", collectorUrl ? collectorUrl : "",
                                           ToOptions(options), ToCallback(onEvent, context));
    return handle.release();
  } catch (const std::exception& e) {
    WriteText(e.what(), error, errorSize);
  } catch (...) {
    WriteText("unknown failure", error, errorSize);
  }
  return nullptr;
}

int32_t Delivery_Submit(Delivery_Outbox* handle, const char* message, char* key, int64_t* bytes,
                        char* error, size_t errorSize) {
  if (handle == nullptr || message == nullptr) {
    WriteText("no outbox or no message given", error, errorSize);
    return DELIVERY_MALFORMED;
  }
  try {
    Delivery::SubmitResult result = handle->outbox->Submit(std::string_view(message));
    switch (result.status) {
      case Delivery::SubmitResult::Status::Stored:
        WriteText(result.key, key, key ? DELIVERY_KEY_SIZE : 0);
        if (bytes) *bytes = result.bytes;
        return DELIVERY_STORED;
      case Delivery::SubmitResult::Status::Malformed:
        WriteText(result.error, error, errorSize);
        return DELIVERY_MALFORMED;
      case Delivery::SubmitResult::Status::NotStored:
        break;
    }
    WriteText(result.error, error, errorSize);
  } catch (const std::exception& e) {
    WriteText(std::string("not stored: ") + e.what(), error, errorSize);
  } catch (...) {
    WriteText("not stored: unknown failure", error, errorSize);
  }
  return DELIVERY_NOT_STORED;
}

int64_t Delivery_Pending(Delivery_Outbox* handle) {
  if (handle == nullptr) return -1;
  try {
    return PendingOrUnknown(handle->outbox->Pending());
  } catch (...) {
    return -1;
  }
}

int64_t Delivery_Wait(Delivery_Outbox* handle, int64_t timeoutMs) {
  if (handle == nullptr) return -1;
  try {
    return PendingOrUnknown(handle->outbox->Wait(milliseconds(std::max<int64_t>(timeoutMs, 0))));
  } catch (...) {
    return -1;
  }
}

void Delivery_GetCounts(Delivery_Outbox* handle, Delivery_Counts* counts) {
  if (counts == nullptr) return;
  *counts = Delivery_Counts{};
  if (handle == nullptr) return;
  const Delivery::Counts c = handle->outbox->GetCounts();
  *counts = {c.stored, c.sent, c.retries, c.rejected, c.dropped};
}

int64_t Delivery_Close(Delivery_Outbox* handle, int64_t waitMs) {
  if (handle == nullptr) return 0;
  int64_t left = -1;
  try {
    left = PendingOrUnknown(handle->outbox->Close(milliseconds(std::max<int64_t>(waitMs, 0))));
  } catch (...) {
  }
  delete handle;
  return left;
}

}  // extern "C"
