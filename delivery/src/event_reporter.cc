#include "event_reporter.h"

#include <pthread.h>

namespace Delivery {

EventDelivery::EventDelivery(EventCallback onEvent) : onEvent(std::move(onEvent)) {
  if (this->onEvent) thread = std::thread([this] { Run(); });
  threadId = thread.get_id();
}

EventDelivery::~EventDelivery() { Finish(); }

void EventDelivery::Post(DeliveryEvent event) {
  if (!onEvent) return;
  {
    std::lock_guard<std::mutex> lock(mutex);
    if (finishing) return;
    events.push_back(std::move(event));
  }
  queued.notify_one();
}

void EventDelivery::Finish() {
  if (OnOwnThread()) return;
  {
    std::lock_guard<std::mutex> lock(mutex);
    finishing = true;
  }
  queued.notify_one();
  if (thread.joinable()) thread.join();
}

bool EventDelivery::OnOwnThread() const { return std::this_thread::get_id() == threadId; }

void EventDelivery::Run() {
  pthread_setname_np(pthread_self(), "delivery-event");
  std::unique_lock<std::mutex> lock(mutex);
  for (;;) {
    queued.wait(lock, [this] { return finishing || !events.empty(); });
    if (events.empty()) return;  // finishing, and everything handed over
    DeliveryEvent event = std::move(events.front());
    events.pop_front();
    lock.unlock();
    // An exception thrown by the callback stays here: it is the caller's
    // trouble, and the library's work goes on.
    try {
      onEvent(event);
    } catch (...) {
    }
    lock.lock();
  }
}

void EventReporter::Report(DeliveryEvent event) const {
  event.senderThread = senderThread;
  delivery.Post(std::move(event));
}

void EventReporter::Dropped(const std::vector<DroppedRequest>& dropped) const {
  for (const DroppedRequest& request : dropped) {
    ++counts->dropped;
    Report({DeliveryEvent::Kind::Dropped, request.key, 0, 0, 0, request.reason, ""});
  }
}

void EventReporter::Noticed(const std::vector<OutboxNotice>& notices) const {
  for (const OutboxNotice& notice : notices) {
    const auto kind = notice.kind == OutboxNotice::Kind::Moved ? DeliveryEvent::Kind::OutboxMoved
                                                               : DeliveryEvent::Kind::OutboxDamaged;
    Report({kind, "", 0, 0, 0, notice.reason, notice.path});
  }
}

void EventReporter::Purged(std::int64_t count) const {
  DeliveryEvent event{DeliveryEvent::Kind::Purged, "", 0, 0, 0, "", ""};
  event.count = count;
  Report(std::move(event));
}

}  // namespace Delivery
