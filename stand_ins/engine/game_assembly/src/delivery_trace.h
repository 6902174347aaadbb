// The game's trace lines about its analytics requests, one JSON object each.
#pragma once

#include <cstdint>
#include <string>

#include "ostrel_delivery.h"

namespace GameAssembly {

// {"event":"analytics.request","message":{...}}: the message text embedded
// as a JSON object. A text that is not JSON is embedded as a string under
// "text", with the parse error under "error".
std::string RequestTraceLine(const std::string& messageText);

// {"event":"analytics.stored","key":"...","bytes":n}
std::string StoredTraceLine(const std::string& key, std::int64_t bytes);

// {"event":"analytics.notstored","reason":"..."}: the request stays with
// the game, which stores it later.
std::string NotStoredTraceLine(const std::string& reason);

// {"event":"analytics.malformed","reason":"..."}: a text that can never be
// stored.
std::string MalformedTraceLine(const std::string& reason);

// {"event":"analytics.consent","state":"given"|"denied"|"pending"} for a
// Delivery_Consent answer ("pending": undecided; "unknown" when the outbox
// could not be read).
std::string ConsentTraceLine(int32_t consent);

// What the delivery library reports: "analytics.sent" {key, status,
// attempts}, "analytics.retry" {key, status, attempts, delayMs, reason},
// "analytics.rejected" {key, status, attempts, reason}, "analytics.dropped"
// {key, reason}, "analytics.outboxmoved" {path, reason},
// "analytics.outboxdamaged" {path, reason}, "analytics.purged" {count}
// (requests deleted as consent was denied), and "analytics.delivery" {kind}
// for a kind this game does not know. Each names the library's thread it
// comes from: "thread":"delivery".
std::string DeliveryEventTraceLine(const Delivery_Event& event);

// {"event":"analytics.kept","count":n}: requests left for a later run.
std::string KeptTraceLine(std::int64_t count);

// {"event":"analytics.lost","count":n}: requests the game could not store
// before it quit.
std::string LostTraceLine(std::int64_t count);

}  // namespace GameAssembly
