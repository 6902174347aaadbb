// What the library reports while it works: the C++ form of Delivery_Event.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace Delivery {

struct DeliveryEvent {
  enum class Kind {
    Sent = 1,
    Retry = 2,
    Rejected = 3,
    Dropped = 4,
    OutboxMoved = 5,
    OutboxDamaged = 6,
    Purged = 7,
  };
  Kind kind = Kind::Sent;
  std::string key;
  int status = 0;
  int attempts = 0;
  std::int64_t delayMs = 0;
  std::string reason;
  std::string path;
  bool senderThread = false;  // caused by the sender, not by one of the caller's calls
  std::int64_t count = 0;     // Purged: the requests deleted
};

using EventCallback = std::function<void(const DeliveryEvent&)>;

}  // namespace Delivery
