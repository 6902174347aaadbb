#include "request_delivery.h"

#include <cstdlib>
#include <mutex>
#include <stdexcept>

#include "delivery_trace.h"
#include "game_trace.h"
#include "ostrel.h"

namespace GameAssembly {
namespace {

// Held from a request's "analytics.request" line to its "analytics.stored"
// line, and by the sender thread's lines: a line about a request never
// comes before the line saying it was stored.
std::mutex& TraceOrder() {
  static std::mutex* const order = new std::mutex;
  return *order;
}

void TraceDeliveryEvent(void*, const Delivery_Event* event) {
  std::lock_guard<std::mutex> lock(TraceOrder());
  Trace(DeliveryEventTraceLine(*event));
}

}  // namespace

RequestDelivery::RequestDelivery(const std::string& collectorUrl, const std::string& outboxFolder) {
  if (collectorUrl.empty()) return;
  char error[512] = "";
  outbox = Delivery_Open(outboxFolder.c_str(), collectorUrl.c_str(), nullptr, TraceDeliveryEvent,
                         nullptr, error, sizeof error);
  if (outbox == nullptr) throw std::invalid_argument(error);
}

RequestDelivery::~RequestDelivery() { Finish(std::chrono::milliseconds(0)); }

void RequestDelivery::TakeQueued() {
  for (int32_t count = Tavi_MessagesCount(); count > 0; --count) {
    char* taken = Tavi_Zel_GetMessage();
    if (taken == nullptr) break;  // out of memory: the request stays queued
    std::string message(taken);
    std::free(taken);
    std::lock_guard<std::mutex> lock(TraceOrder());
    Trace(RequestTraceLine(message));
    if (outbox) {
      unstored.push_back(std::move(message));
      StoreUnstored();
    }
  }
  std::lock_guard<std::mutex> lock(TraceOrder());
  StoreUnstored();
}

// Called with TraceOrder() held.
void RequestDelivery::StoreUnstored() {
  while (outbox && !unstored.empty()) {
    char key[DELIVERY_KEY_SIZE] = "";
    int64_t bytes = 0;
    char error[512] = "";
    const int32_t result =
        Delivery_Submit(outbox, unstored.front().c_str(), key, &bytes, error, sizeof error);
    if (result == DELIVERY_NOT_STORED) {
      Trace(NotStoredTraceLine(error));
      return;  // kept, in order, for the next frame
    }
    Trace(result == DELIVERY_STORED ? StoredTraceLine(key, bytes) : MalformedTraceLine(error));
    unstored.pop_front();
  }
}

bool RequestDelivery::Delivered(std::chrono::milliseconds wait) {
  if (!outbox) return true;
  {
    std::lock_guard<std::mutex> lock(TraceOrder());
    StoreUnstored();
  }
  return unstored.empty() && Delivery_Wait(outbox, wait.count()) == 0;
}

std::int64_t RequestDelivery::Finish(std::chrono::milliseconds wait) {
  if (finished) return undelivered;
  finished = true;
  if (!outbox) return 0;
  {
    std::lock_guard<std::mutex> lock(TraceOrder());
    StoreUnstored();
  }
  const int64_t kept = Delivery_Close(outbox, wait.count());
  outbox = nullptr;
  if (kept > 0) Trace(KeptTraceLine(kept));
  if (!unstored.empty()) Trace(LostTraceLine(static_cast<std::int64_t>(unstored.size())));
  undelivered = (kept > 0 ? kept : 0) + static_cast<std::int64_t>(unstored.size());
  if (kept < 0 && undelivered == 0) undelivered = 1;  // unknown: not all delivered
  unstored.clear();
  return undelivered;
}

}  // namespace GameAssembly
