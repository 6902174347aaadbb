// One-line JSON trace records for the analytics requests the game handles.
#pragma once

#include <string>

#include "delivery/request_sender.h"

namespace Delivery {

// {"event":"analytics.request","message":{...}}: the message text embedded
// as a JSON object. A text that is not JSON is embedded as a string under
// "text", with the parse error under "error".
std::string RequestTraceLine(const std::string& messageText);

// {"event":"analytics.sent","status":200,"url":"..."}
std::string SentTraceLine(long status, const std::string& url);

// {"event":"analytics.failed","reason":"...","attempts":5,"url":"..."}
std::string FailedTraceLine(const std::string& reason, int attempts, const std::string& url);

// SentTraceLine or FailedTraceLine, whichever fits the outcome.
std::string OutcomeTraceLine(const DeliveryOutcome& outcome);

}  // namespace Delivery
