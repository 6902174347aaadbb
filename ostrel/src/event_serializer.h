// The wire format of events: one JSON object per event, joined with the
// context that holds at the moment of serialisation, written as text in one
// pass (no document is built).
#pragma once

#include <array>
#include <cstddef>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "analytics_event.h"
#include "event_category.h"
#include "json_writer.h"
#include "serialization_context.h"

namespace Ostrel {

// The events of one flush and the context they are written with.
struct EventBatch {
  const std::deque<AnalyticsEvent>& events;
  const SerializationContext& context;
};

// Writes the events of one flush. What every event of the flush shares (the
// "application", "client" and "device" objects, the user id and the session
// id) is written once, when the serializer is made.
class EventSerializer {
 public:
  EventSerializer(const SerializationContext& context, JsonDepth depth);

  // The upload body: one object for a single event, an array (oldest first)
  // for several.
  void WriteBody(std::string& out, const std::deque<AnalyticsEvent>& events);

  void WriteEvent(std::string& out, const AnalyticsEvent& event);

  // The body's size when no text needs escaping, give or take a few bytes
  // per number: enough to reserve the output once.
  std::size_t EstimateBodySize(const std::deque<AnalyticsEvent>& events) const;

 private:
  // The fixed text between the variable values of an event, in order.
  enum Piece : std::size_t {
    head,           // {"application":{...},"arrival_timestamp":
    attributes,     // ,"attributes":{
    userId,         // "user_id":"..."
    shared,         // ,"client":{...},"device":{...},"event_timestamp":
    eventType,      // ,"event_type":
    metrics,        // ,"event_version":"1.0","metrics":
    session,        // ,"session":{"session_id":"...","start_timestamp":
    stopTimestamp,  // ,"stop_timestamp":
    pieceCount
  };

  // A prefix of the event's category, and that text as written at the
  // serializer's depth.
  struct Prefix {
    std::string text;
    std::string written;
  };

  void WritePieces(const SerializationContext& context);
  void EndPiece(Piece piece) { pieceEnd[piece] = pieces.size(); }
  std::string_view Text(Piece piece) const;
  void SetPrefix(Prefix& prefix, std::string text);
  void UsePrefixesOf(const EventCategory& category);
  void WriteAttributes(JsonWriter& json, const AnalyticsEvent& event);
  void WriteMetrics(JsonWriter& json, const AnalyticsEvent& event);
  void WriteKey(JsonWriter& json, const Prefix& prefix, std::string_view key);

  JsonDepth depth;
  std::string pieces;
  std::array<std::size_t, pieceCount> pieceEnd{};
  // Reused from event to event: the prefixes, written again only when the
  // category changes (consecutive events mostly share it), and the order in
  // which keys are written.
  std::optional<EventCategory> prefixCategory;
  Prefix typePrefix;
  Prefix attributePrefix;
  Prefix metricPrefix;
  std::vector<std::size_t> keyOrder;
};

}  // namespace Ostrel
