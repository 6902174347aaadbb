// Where the analytics requests the game takes from Ostrel's queue go: each
// one is traced as {"event":"analytics.request","message":{...}}, and, when a
// collector is configured, also sent to it by a RequestSender on its own
// worker thread, whose outcomes are traced as "analytics.sent" or
// "analytics.failed".
#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "delivery/request_sender.h"

namespace GameAssembly {

class RequestOutbox {
 public:
  // An empty `collectorUrl` traces only. Throws Delivery::InvalidCollectorUrl
  // for an unusable address.
  explicit RequestOutbox(const std::string& collectorUrl);
  // Reports every request not yet delivered as failed ("shutdown").
  ~RequestOutbox();

  // Takes every request waiting in Ostrel's queue, oldest first.
  void TakeQueued();

  // True once every request handed to the sender has its outcome (at once
  // without a collector); waits at most `wait` for that.
  bool Delivered(std::chrono::milliseconds wait);

 private:
  std::unique_ptr<Delivery::RequestSender> sender;
};

}  // namespace GameAssembly
