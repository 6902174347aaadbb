// Hands the library's events to the caller's callback, from the caller's
// thread (Outbox) or the sender thread (Sender), and keeps the counts.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "delivery_event.h"
#include "outbox_store.h"

namespace Delivery {

struct SharedCounts {
  std::atomic<std::int64_t> stored{0}, sent{0}, retries{0}, rejected{0}, dropped{0};
};

class EventReporter {
 public:
  EventReporter(EventCallback onEvent, bool senderThread, SharedCounts* counts)
      : onEvent(std::move(onEvent)), senderThread(senderThread), counts(counts) {}

  // An exception thrown by the callback stays here: it is the caller's
  // trouble, and the library's work goes on.
  void Report(DeliveryEvent event) const;
  // Counts and reports each request dropped over a bound.
  void Dropped(const std::vector<DroppedRequest>& dropped) const;
  // Reports an unreadable outbox file moved to `movedTo`; nothing when empty.
  void Moved(const std::string& movedTo) const;

 private:
  const EventCallback onEvent;
  const bool senderThread;
  SharedCounts* const counts;
};

}  // namespace Delivery
