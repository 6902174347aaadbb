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

std::optional<PlayerConsent> PlayerConsentNamed(const std::string& name) {
  if (name == "given") return PlayerConsent::Given;
  if (name == "denied") return PlayerConsent::Denied;
  if (name == "pending") return PlayerConsent::Pending;
  return std::nullopt;
}

RequestDelivery::RequestDelivery(const std::string& collectorUrl, const std::string& outboxFolder,
                                 PlayerConsent consent) {
  if (collectorUrl.empty()) return;
  char error[512] = "";
  Delivery_Options options;
  Delivery_DefaultOptions(&options);
  options.requireConsent = 1;
  outbox = Delivery_Open(outboxFolder.c_str(), collectorUrl.c_str(), &options, TraceEvent,
                         order.get(), error, sizeof error);
  if (outbox == nullptr) throw std::invalid_argument(error);
  // The consent line before the lines of what the decision causes.
  order->Hold();
  if (consent != PlayerConsent::Pending) {
    Delivery_SetConsent(
        outbox, consent == PlayerConsent::Given ? DELIVERY_CONSENT_GIVEN : DELIVERY_CONSENT_DENIED,
        nullptr, 0);  // not written now: it stands for this run all the same
  }
  order->Write(ConsentTraceLine(Delivery_Consent(outbox)));
  order->Release();
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
    if (result == DELIVERY_STORED) order->Write(StoredTraceLine(key, bytes));
    if (result == DELIVERY_MALFORMED) order->Write(MalformedTraceLine(error));
    unstored.pop_front();  // DELIVERY_NO_CONSENT: the player does not want it sent
  }
  order->Release();
}

bool RequestDelivery::Delivered(std::chrono::milliseconds wait) {
  if (!outbox) return true;
  StoreUnstored();
  return unstored.empty() && Delivery_Wait(outbox, wait.count()) == 0;
}

bool RequestDelivery::HeldForConsent() {
  if (!outbox) return false;
  const int32_t consent = Delivery_Consent(outbox);
  return consent == DELIVERY_CONSENT_UNDECIDED || consent == DELIVERY_CONSENT_DENIED;
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
