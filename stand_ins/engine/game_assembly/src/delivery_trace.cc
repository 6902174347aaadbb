#include "delivery_trace.h"

#include <nlohmann/json.hpp>

namespace GameAssembly {
namespace {

using Line = nlohmann::ordered_json;  // keeps "event" first, as written

// Texts from the network or the game may hold invalid UTF-8; a trace line
// must still be written, so such bytes become U+FFFD.
std::string Write(const Line& line) {
  return line.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

std::string Text(const char* text) { return text ? text : ""; }

}  // namespace

std::string RequestTraceLine(const std::string& messageText) {
  Line line = {{"event", "analytics.request"}};
  Line message = Line::parse(messageText, nullptr, /*allow_exceptions=*/false);
  if (message.is_discarded()) {
    line["error"] = "malformed request message: not JSON text";
    line["text"] = messageText;
  } else {
    line["message"] = std::move(message);
  }
  return Write(line);
}

std::string StoredTraceLine(const std::string& key, std::int64_t bytes) {
  return Write({{"event", "analytics.stored"}, {"key", key}, {"bytes", bytes}});
}

std::string NotStoredTraceLine(const std::string& reason) {
  return Write({{"event", "analytics.notstored"}, {"reason", reason}});
}

std::string MalformedTraceLine(const std::string& reason) {
  return Write({{"event", "analytics.malformed"}, {"reason", reason}});
}

std::string ConsentTraceLine(int32_t consent) {
  const char* state = consent == DELIVERY_CONSENT_GIVEN       ? "given"
                      : consent == DELIVERY_CONSENT_DENIED    ? "denied"
                      : consent == DELIVERY_CONSENT_UNDECIDED ? "pending"
                                                              : "unknown";
  return Write({{"event", "analytics.consent"}, {"state", state}});
}

std::string DeliveryEventTraceLine(const Delivery_Event& event) {
  Line line;
  switch (event.kind) {
    case DELIVERY_SENT:
      line = {{"event", "analytics.sent"},
              {"key", Text(event.key)},
              {"status", event.status},
              {"attempts", event.attempts}};
      break;
    case DELIVERY_RETRY:
      line = {{"event", "analytics.retry"}, {"key", Text(event.key)},
              {"status", event.status},     {"attempts", event.attempts},
              {"delayMs", event.delayMs},   {"reason", Text(event.reason)}};
      break;
    case DELIVERY_REJECTED:
      line = {{"event", "analytics.rejected"},
              {"key", Text(event.key)},
              {"status", event.status},
              {"attempts", event.attempts},
              {"reason", Text(event.reason)}};
      break;
    case DELIVERY_DROPPED:
      line = {
          {"event", "analytics.dropped"}, {"key", Text(event.key)}, {"reason", Text(event.reason)}};
      break;
    case DELIVERY_OUTBOX_MOVED:
      line = {{"event", "analytics.outboxmoved"},
              {"path", Text(event.path)},
              {"reason", Text(event.reason)}};
      break;
    case DELIVERY_OUTBOX_DAMAGED:
      line = {{"event", "analytics.outboxdamaged"},
              {"path", Text(event.path)},
              {"reason", Text(event.reason)}};
      break;
    case DELIVERY_PURGED:
      line = {{"event", "analytics.purged"}, {"count", event.count}};
      break;
    default:
      line = {{"event", "analytics.delivery"}, {"kind", event.kind}};
      break;
  }
  line["thread"] = "delivery";
  return Write(line);
}

std::string KeptTraceLine(std::int64_t count) {
  return Write({{"event", "analytics.kept"}, {"count", count}});
}

std::string LostTraceLine(std::int64_t count) {
  return Write({{"event", "analytics.lost"}, {"count", count}});
}

}  // namespace GameAssembly
