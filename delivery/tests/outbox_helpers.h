// What the tests of the library's C++ face share: the events it reports,
// quick retries, and what a collector stored.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "collector_process.h"
#include "outbox.h"

// Collects the events the library reports, from any thread.
class Events {
 public:
  Delivery::EventCallback Callback() {
    return [this](const Delivery::DeliveryEvent& event) {
      std::lock_guard<std::mutex> lock(mutex);
      reported.push_back(event);
    };
  }
  std::vector<Delivery::DeliveryEvent> Of(Delivery::DeliveryEvent::Kind kind) {
    std::lock_guard<std::mutex> lock(mutex);
    std::vector<Delivery::DeliveryEvent> found;
    for (const Delivery::DeliveryEvent& event : reported) {
      if (event.kind == kind) found.push_back(event);
    }
    return found;
  }
  // Waits up to 20 s for `count` events of `kind`; returns them.
  std::vector<Delivery::DeliveryEvent> AwaitOf(Delivery::DeliveryEvent::Kind kind,
                                               std::size_t count) {
    for (int tries = 0; tries < 2000 && Of(kind).size() < count; ++tries) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return Of(kind);
  }

 private:
  std::mutex mutex;
  std::vector<Delivery::DeliveryEvent> reported;
};

inline Delivery::OutboxOptions FastRetries() {
  Delivery::OutboxOptions options;
  options.retry = {20, 100};
  options.transfer.connectTimeoutMs = 2000;
  options.transfer.requestTimeoutMs = 5000;
  return options;
}

inline std::string Stored(Delivery::Outbox& outbox, const std::string& message) {
  Delivery::SubmitResult result = outbox.Submit(message);
  EXPECT_EQ(result.status, Delivery::SubmitResult::Status::Stored) << result.error;
  return result.key;
}

inline std::vector<std::string> StoredKeys(const CollectorProcess& collector) {
  std::vector<std::string> keys;
  for (const nlohmann::json& request : collector.StoredRequests()) keys.push_back(request["key"]);
  return keys;
}
