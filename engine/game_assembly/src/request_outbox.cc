#include "request_outbox.h"

#include <cstdlib>

#include "delivery/trace_lines.h"
#include "game_trace.h"
#include "ostrel.h"

namespace GameAssembly {
namespace {

// A few quick retries and short timeouts, so that the requests left when the
// game quits are delivered or given up within seconds.
Delivery::SenderOptions GameSenderOptions(const std::string& collectorUrl) {
  Delivery::SenderOptions options;
  options.collectorUrl = collectorUrl;
  options.maxAttempts = 4;
  options.firstRetryDelay = std::chrono::milliseconds(100);
  options.connectTimeout = std::chrono::milliseconds(2000);
  options.totalTimeout = std::chrono::milliseconds(5000);
  return options;
}

}  // namespace

RequestOutbox::RequestOutbox(const std::string& collectorUrl) {
  if (collectorUrl.empty()) return;
  sender = std::make_unique<Delivery::RequestSender>(
      GameSenderOptions(collectorUrl), [](const Delivery::DeliveryOutcome& outcome) {
        TraceFromThread(Delivery::OutcomeTraceLine(outcome), "delivery");
      });
}

RequestOutbox::~RequestOutbox() = default;

void RequestOutbox::TakeQueued() {
  for (int32_t count = Tavi_MessagesCount(); count > 0; --count) {
    char* taken = Tavi_Zel_GetMessage();
    if (taken == nullptr) return;  // out of memory: the request stays queued
    std::string message(taken);
    std::free(taken);
    Trace(Delivery::RequestTraceLine(message));
    if (sender) sender->Submit(std::move(message));
  }
}

bool RequestOutbox::Delivered(std::chrono::milliseconds wait) {
  return !sender || sender->Drain(wait);
}

}  // namespace GameAssembly
