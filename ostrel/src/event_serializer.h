// The wire format of events: one JSON object per event, joined with the
// context that holds at the moment of serialisation.
#pragma once

#include <deque>
#include <string>

#include <nlohmann/json.hpp>

#include "analytics_event.h"
#include "serialization_context.h"

nlohmann::json SerializeEvent(const AnalyticsEvent& event, const SerializationContext& context);

// The upload body: one object for a single event, an array (oldest first)
// for several. Written with WriteJson.
std::string SerializeBody(const std::deque<AnalyticsEvent>& events,
                          const SerializationContext& context);
