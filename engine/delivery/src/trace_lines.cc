#include "delivery/trace_lines.h"

#include <nlohmann/json.hpp>

namespace Delivery {
namespace {

using Line = nlohmann::ordered_json;  // keeps "event" first, as written

// Texts from the network or the game may hold invalid UTF-8; a trace line
// must still be written, so such bytes become U+FFFD.
std::string Write(const Line& line) {
  return line.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

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

std::string SentTraceLine(long status, const std::string& url) {
  return Write({{"event", "analytics.sent"}, {"status", status}, {"url", url}});
}

std::string FailedTraceLine(const std::string& reason, int attempts, const std::string& url) {
  return Write(
      {{"event", "analytics.failed"}, {"reason", reason}, {"attempts", attempts}, {"url", url}});
}

std::string OutcomeTraceLine(const DeliveryOutcome& outcome) {
  return outcome.sent ? SentTraceLine(outcome.status, outcome.url)
                      : FailedTraceLine(outcome.reason, outcome.attempts, outcome.url);
}

}  // namespace Delivery
