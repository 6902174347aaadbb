// Hands the library's events to the caller's callback from a thread of the
// library's own (EventDelivery), in the order they were reported, so that
// the callback never runs inside one of the caller's calls (which may hold
// the caller's locks); EventReporter is how the outbox and the sender
// report, and keeps the counts.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "delivery_event.h"
#include "outbox_folder.h"
#include "outbox_store.h"

namespace Delivery {

struct SharedCounts {
  std::atomic<std::int64_t> stored{0}, sent{0}, retries{0}, rejected{0}, dropped{0};
};

class EventDelivery {
 public:
  // Starts the thread when there is a callback.
  explicit EventDelivery(EventCallback onEvent);
  ~EventDelivery();  // Finish()
  EventDelivery(const EventDelivery&) = delete;
  EventDelivery& operator=(const EventDelivery&) = delete;

  // Queues `event` for the callback; returns at once.
  void Post(DeliveryEvent event);
  // Hands the callback what is queued, then ends the thread; later events
  // are not delivered. Returns at once when called by the callback itself.
  void Finish();
  // Whether the calling thread is the one that runs the callback.
  bool OnOwnThread() const;

 private:
  void Run();

  const EventCallback onEvent;
  std::mutex mutex;
  std::condition_variable queued;
  std::deque<DeliveryEvent> events;
  bool finishing = false;
  std::thread thread;  // after the above: starts once they are ready
  std::thread::id threadId;
};

class EventReporter {
 public:
  EventReporter(EventDelivery& delivery, bool senderThread, SharedCounts* counts)
      : delivery(delivery), senderThread(senderThread), counts(counts) {}

  void Report(DeliveryEvent event) const;
  // Counts and reports each request dropped over a bound.
  void Dropped(const std::vector<DroppedRequest>& dropped) const;
  // Reports what was moved aside or found damaged in the outbox folder.
  void Noticed(const std::vector<OutboxNotice>& notices) const;
  // Reports the requests a denial of consent deleted.
  void Purged(std::int64_t count) const;

 private:
  EventDelivery& delivery;
  const bool senderThread;
  SharedCounts* const counts;
};

}  // namespace Delivery
