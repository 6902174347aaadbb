// The library's C++ face, wrapped by the C interface (exports.cc): stores
// request messages in the outbox on the caller's thread and has a Sender
// deliver them.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "delivery_event.h"
#include "event_reporter.h"
#include "outbox_options.h"
#include "outbox_store.h"
#include "sender.h"

namespace Delivery {

struct SubmitResult {
  enum class Status { Stored, Malformed, NotStored };
  Status status = Status::NotStored;
  std::string key;         // when stored
  std::int64_t bytes = 0;  // when stored: its size as the byte bound counts it
  std::string error;       // otherwise: why
};

struct Counts {
  std::int64_t stored = 0, sent = 0, retries = 0, rejected = 0, dropped = 0;
};

class Outbox {
 public:
  // Starts the sender. Throws InvalidCollectorUrl for an unusable address
  // and std::invalid_argument for an empty folder name. A folder that
  // cannot be written is not an error here (see Submit).
  Outbox(const std::string& folder, const std::string& collectorUrl, OutboxOptions options,
         EventCallback onEvent);
  ~Outbox();  // Close(0)
  Outbox(const Outbox&) = delete;
  Outbox& operator=(const Outbox&) = delete;

  SubmitResult Submit(std::string_view messageText);

  // Pending requests; nothing when the outbox cannot be read.
  std::optional<std::int64_t> Pending();
  // Waits until nothing is pending, `timeout` has passed, or the next
  // attempt is due only after that; returns Pending() then.
  std::optional<std::int64_t> Wait(std::chrono::milliseconds timeout);
  // Wait(wait), then stops the sender. Returns what is left pending. Later
  // calls return the same without waiting.
  std::optional<std::int64_t> Close(std::chrono::milliseconds wait);

  Counts GetCounts() const;
  // Makes the sender look again now (after a test moved the clock).
  void Nudge();

 private:
  // The caller's connection, opened on first use; throws StoreError. When
  // an unreadable file was moved aside, `movedTo` says where (reported by
  // the caller once storeMutex is released).
  OutboxStore& Store(std::string& movedTo);

  const std::string folder;
  const OutboxOptions options;
  const EventCallback onEvent;
  SharedCounts counts;
  const EventReporter reporter;

  std::mutex storeMutex;  // the caller's connection
  std::unique_ptr<OutboxStore> store;
  std::mutex writers;  // the turn to write, shared with the sender's connection
  std::optional<std::int64_t> leftAtClose;
  std::atomic<bool> closed{false};
  std::unique_ptr<Sender> sender;  // last: starts once everything above is ready
};

}  // namespace Delivery
