#include "request_delivery.h"

#include <cstdlib>
#include <mutex>
#include <stdexcept>

#include "delivery_trace.h"
#include "game_trace.h"
#include "ostrel.h"

namespace GameAssembly {

void RequestDelivery::TraceOrder::Hold() {
  std::lock_guard<std::mutex> lock(mutex);
  ++holds;
}

void RequestDelivery::TraceOrder::Write(const std::string& line) {
  std::lock_guard<std::mutex> lock(mutex);
  Trace(line);
}

void RequestDelivery::TraceOrder::Release() {
  std::lock_guard<std::mutex> lock(mutex);
  if (--holds > 0) return;
  for (const std::string& event : waiting) Trace(event);
  waiting.clear();
}

void RequestDelivery::TraceOrder::Event(std::string line) {
  std::lock_guard<std::mutex> lock(mutex);
  if (holds > 0) {
    waiting.push_back(std::move(line));
  } else {
    Trace(line);
  }
}

void RequestDelivery::TraceEvent(void* order, const Delivery_Event* event) {
  static_cast<TraceOrder*>(order)->Event(DeliveryEventTraceLine(*event));
}

RequestDelivery::RequestDelivery(const std::string& collectorUrl, const std::string& outboxFolder) {
  if (collectorUrl.empty()) return;
  char error[512] = "";
  outbox = Delivery_Open(outboxFolder.c_str(), collectorUrl.c_str(), nullptr, TraceEvent,
                         order.get(), error, sizeof error);
  if (outbox == nullptr) throw std::invalid_argument(error);
}

RequestDelivery::~RequestDelivery() { Finish(std::chrono::milliseconds(0)); }

void RequestDelivery::TakeQueued() {
  for (int32_t count = Tavi_MessagesCount(); count > 0; --count) {
    char* taken = Tavi_Zel_GetMessage();
    if (taken == nullptr) break;  // out of memory: the request stays queued
    std::string message(taken);
    std::free(taken);
    order->Hold();
    order->Write(RequestTraceLine(message));
    if (outbox) {
      unstored.push_back(std::move(message));
      StoreUnstored();
    }
    order->Release();
  }
  StoreUnstored();
}

void RequestDelivery::StoreUnstored() {
  order->Hold();
  while (outbox && !unstored.empty()) {
    char key[DELIVERY_KEY_SIZE] = "";
    int64_t bytes = 0;
    char error[512] = "";
    const int32_t result =
        Delivery_Submit(outbox, unstored.front().c_str(), key, &bytes, error, sizeof error);
    if (result == DELIVERY_NOT_STORED) {
      order->Write(NotStoredTraceLine(error));
      break;  // kept, in order, for the next frame
    }
    order->Write(result == DELIVERY_STORED ? StoredTraceLine(key, bytes)
                                           : MalformedTraceLine(error));
    unstored.pop_front();
  }
  order->Release();
}

bool RequestDelivery::Delivered(std::chrono::milliseconds wait) {
  if (!outbox) return true;
  StoreUnstored();
  return unstored.empty() && Delivery_Wait(outbox, wait.count()) == 0;
}

std::int64_t RequestDelivery::Finish(std::chrono::milliseconds wait) {
  if (finished) return undelivered;
  finished = true;
  if (!outbox) return 0;
  StoreUnstored();
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
