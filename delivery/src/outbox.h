// The library's C++ face, wrapped by the C interface (exports.cc): stores
// request messages in the outbox on the caller's thread, has a Sender
// deliver them, and hands events to the callback from a thread of its own.
// Every method may be called from any thread while the object lives; a
// Close on one thread makes calls in progress on others return soon. The
// callback must not destroy the object it is called for.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "consent_decision.h"
#include "delivery_event.h"
#include "event_reporter.h"
#include "log_copier.h"
#include "outbox_options.h"
#include "outbox_store.h"
#include "sender.h"

namespace Delivery {

struct SubmitResult {
  enum class Status { Stored, Malformed, NotStored, NoConsent };
  Status status = Status::NotStored;
  std::string key;         // when stored
  std::int64_t bytes = 0;  // when stored: its size as the byte bound counts it
  std::string error;       // otherwise: why
};

struct Counts {
  std::int64_t stored = 0, sent = 0, retries = 0, rejected = 0, dropped = 0;
};

struct ConsentResult {
  bool written = false;  // false: it stands for this handle, and is written later
  std::string error;     // why it was not written
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

  // Keeps the player's decision in the outbox. Denied: no transfer starts
  // from now on and one in progress is abandoned, every request is deleted
  // and the deletion reported (Purged), later submits store nothing. Given:
  // sending starts. A decision that cannot be written now stands for this
  // handle and is written by the sender as soon as it can be.
  ConsentResult SetConsent(Consent decision);
  // The decision in force: this handle's unwritten one, else the outbox's;
  // nothing when the outbox cannot be read.
  std::optional<Consent> CurrentConsent();

  // Pending requests; nothing when the outbox cannot be read.
  std::optional<std::int64_t> Pending();
  // Waits until nothing is pending, `timeout` has passed, or the next
  // attempt is due only after that; returns Pending() then.
  std::optional<std::int64_t> Wait(std::chrono::milliseconds timeout);
  // Wait(wait), then stops the sender at once, copies the log into the
  // database, and hands the callback the events still queued. Returns what
  // is left pending. Later calls return the same without waiting.
  std::optional<std::int64_t> Close(std::chrono::milliseconds wait);

  Counts GetCounts() const;
  // Whether the calling thread is the one that runs the event callback.
  bool OnEventThread() const { return events.OnOwnThread(); }
  // Makes the sender look again now (after a test moved the clock).
  void Nudge();

 private:
  // How Store looks whether the connection's file is still the outbox's:
  // the whole path (OutboxStore::IsCurrent) or only the name in its folder
  // (LooksCurrent, before a store, which looks again after its commit).
  enum class Look { Path, InFolder };
  // The caller's connection to the file that is the outbox now, opened on
  // first use and again once that file was moved aside; call with
  // storeMutex held. Throws StoreError. What it found goes to `notices`.
  OutboxStore& Store(std::vector<OutboxNotice>& notices, Look look = Look::Path);
  // Inserts on the caller's connection; when the file was moved aside
  // meanwhile, inserts again into the fresh one (a StoreError after three
  // tries, never a request reported stored in a file moved aside). Call
  // with storeMutex held.
  InsertResult Insert(const std::string& key, const OutgoingRequest& request,
                      std::vector<OutboxNotice>& notices);
  std::optional<std::int64_t> WaitUntil(std::chrono::milliseconds timeout, bool untilClosing);
  // Whether consent keeps the sender from sending now.
  bool HeldForConsent();

  const std::string folder;
  const OutboxOptions options;
  SharedCounts counts;
  EventDelivery events;
  const EventReporter reporter;

  std::mutex writers;  // the turn to write, shared with the sender's connection
  // Copies the log when the caller's stores leave it long: before the
  // caller's connection, whose commits ask it.
  LogCopier copier;
  std::mutex storeMutex;  // the caller's connection
  std::unique_ptr<OutboxStore> store;
  ConsentDecision decision;
  std::optional<std::int64_t> leftAtClose;
  std::atomic<bool> closing{false};  // calls in progress give up their waits
  std::atomic<bool> closed{false};
  std::unique_ptr<Sender> sender;  // last: starts once everything above is ready
};

}  // namespace Delivery
