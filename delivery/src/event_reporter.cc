#include "event_reporter.h"

namespace Delivery {

void EventReporter::Report(DeliveryEvent event) const {
  if (!onEvent) return;
  event.senderThread = senderThread;
  try {
    onEvent(event);
  } catch (...) {
  }
}

void EventReporter::Dropped(const std::vector<DroppedRequest>& dropped) const {
  for (const DroppedRequest& request : dropped) {
    ++counts->dropped;
    Report({DeliveryEvent::Kind::Dropped, request.key, 0, 0, 0, request.reason, ""});
  }
}

void EventReporter::Moved(const std::string& movedTo) const {
  if (movedTo.empty()) return;
  Report({DeliveryEvent::Kind::OutboxMoved, "", 0, 0, 0, "not a database or damaged", movedTo});
}

}  // namespace Delivery
