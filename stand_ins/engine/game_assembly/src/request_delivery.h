// Where the analytics requests the game takes from Ostrel's queue go: each
// one is traced as {"event":"analytics.request","message":{...}}, and, when
// a collector is configured, stored in the delivery library's outbox
// ("analytics.stored" right after) and sent from there by the library's
// sender thread. The library's events become trace lines too (see
// delivery_trace.h), written after the "analytics.stored" line of any
// request they may be about. No lock of the game's is held across a call
// into the library.
//
// The game requires the player's consent: the outbox is opened with
// requireConsent, and the player's choice handed to the library at once
// (given or denied; pending: none). The state the outbox is in then is
// traced as {"event":"analytics.consent","state":"given"|"denied"|"pending"};
// a denial's deletion as "analytics.purged" {"count"}. While consent is
// denied, requests are traced and not stored.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "ostrel_delivery.h"

namespace GameAssembly {

// The player's choice, as the game passes it on.
enum class PlayerConsent { Given, Denied, Pending };

// "given", "denied" or "pending"; nothing for another text.
std::optional<PlayerConsent> PlayerConsentNamed(const std::string& name);

class RequestDelivery {
 public:
  // An empty `collectorUrl` traces only. Otherwise opens the outbox in
  // `outboxFolder` and hands it `consent`; throws std::invalid_argument
  // when it cannot.
  RequestDelivery(const std::string& collectorUrl, const std::string& outboxFolder,
                  PlayerConsent consent = PlayerConsent::Given);
  // Finish(0) when not finished yet.
  ~RequestDelivery();
  RequestDelivery(const RequestDelivery&) = delete;
  RequestDelivery& operator=(const RequestDelivery&) = delete;

  // Takes every request waiting in Ostrel's queue, oldest first, and stores
  // it. A request the outbox cannot take now ("analytics.notstored") stays
  // with the game, ahead of later ones, and is stored by a later call.
  void TakeQueued();

  // True once nothing is left to deliver (at once without a collector);
  // waits at most `wait` for that.
  bool Delivered(std::chrono::milliseconds wait);

  // True while the player's consent keeps requests from being sent (not
  // yet given, or denied): nothing is delivered by waiting.
  bool HeldForConsent();

  // Closes the outbox, waiting at most `wait` for the last requests. Traces
  // "analytics.kept" when some are left for a later run and
  // "analytics.lost" when some could not be stored at all. Returns how many
  // requests were not delivered (kept or lost); later calls return the same.
  std::int64_t Finish(std::chrono::milliseconds wait);

 private:
  // Keeps the lines about requests in order without holding a lock across
  // a library call: while the game thread writes a request's lines and
  // stores it (held), an event's line waits, since it may be about that
  // request, and follows the game's lines.
  class TraceOrder {
   public:
    void Hold();                          // nests
    void Write(const std::string& line);  // the game thread's line, now
    void Release();                       // the last Release writes the event lines that waited
    void Event(std::string line);         // the library thread's line: now, or after the hold

   private:
    std::mutex mutex;
    int holds = 0;
    std::vector<std::string> waiting;
  };

  static void TraceEvent(void* order, const Delivery_Event* event);
  void StoreUnstored();

  // Owned here and handed to the library's callback; outlives the outbox.
  std::unique_ptr<TraceOrder> order = std::make_unique<TraceOrder>();
  Delivery_Outbox* outbox = nullptr;
  std::deque<std::string> unstored;  // taken from Ostrel, not yet in the outbox
  std::int64_t undelivered = 0;
  bool finished = false;
};

}  // namespace GameAssembly
