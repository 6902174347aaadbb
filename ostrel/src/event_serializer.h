// The wire format of events: one JSON object per event, joined with the
// context that holds at the moment of serialisation, written as text in one
// pass (no document is built).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "analytics_event.h"
#include "event_category.h"
#include "json_writer.h"
#include "serialization_context.h"
#include "text_buffer.h"

namespace Ostrel {

// The events of one flush and the context they are written with.
struct EventBatch {
  const std::deque<AnalyticsEvent>& events;
  const SerializationContext& context;
};

// Writes the events of flushes. What every event of a flush shares (the
// "application", "client" and "device" objects, the user id and the session
// id) is written once per context: again only when the context changed since
// the last flush.
class EventSerializer {
 public:
  explicit EventSerializer(JsonDepth depth) : depth(depth) {}

  // The context of the events written from now on; given before the first.
  void UseContext(const SerializationContext& context);

  // The upload body: one object for a single event, an array (oldest first)
  // for several.
  void WriteBody(TextBuffer& out, const std::deque<AnalyticsEvent>& events);

  // The body's size when no text needs escaping, give or take a few bytes
  // per number: enough to reserve the output once.
  std::size_t EstimateBodySize(const std::deque<AnalyticsEvent>& events) const;

 private:
  // The fixed text between the variable values of an event, in the order of
  // the pieces buffer: neighbours that an event writes one after the other
  // are one Text(first, last). Each piece ends with the punctuation that
  // opens the value after it.
  enum Piece : std::size_t {
    kHead,                 // {"application":{...},"arrival_timestamp":
    kAttributes,           // ,"attributes":{
    kUserId,               // "user_id":"..."
    kShared,               // },"client":{...},"device":{...},"event_timestamp":
    kMetricsNullSession,   // ","event_version":"1.0","metrics":null,"session":{"session_id":
                           // "...","start_timestamp":
    kMetricsOpen,          // ","event_version":"1.0","metrics":{
    kMetricsCloseSession,  // },"session":{"session_id":"...","start_timestamp":
    kStopTimestamp,        // ,"stop_timestamp":
    kEnd,                  // }}
    kKeyEnd,               // ":
    kStringKeyEnd,         // ":"
    kQuote,                // "
    kPieceCount
  };

  // The texts a category puts before an event's type and keys, as written at
  // the serializer's depth: the type with its key, the keys with their
  // opening quotation mark.
  struct Prefixes {
    std::optional<EventCategory> category;  // unset until the texts are written
    std::string attributeKey;               // as the category gives it, to place "user_id"
    TextBuffer type;                        // ,"event_type":"<prefix>
    TextBuffer attributeKeyOpen;
    TextBuffer metricKeyOpen;
  };
  static constexpr std::size_t kCachedCategories = 4;

  void WritePieces(const SerializationContext& context);
  void EndPiece(Piece piece) { pieceEnd[piece] = pieces.Size(); }
  std::string_view Text(Piece first, Piece last) const;
  std::string_view Text(Piece piece) const { return Text(piece, piece); }
  const Prefixes& PrefixesOf(const EventCategory& category);
  std::string_view TimestampText(std::int64_t timestamp);
  void WriteEvent(JsonWriter& json, const AnalyticsEvent& event);
  void WriteAttributes(JsonWriter& json, const AnalyticsEvent& event, const Prefixes& prefixes);
  void WriteMetrics(JsonWriter& json, const AnalyticsEvent& event, const Prefixes& prefixes);

  JsonDepth depth;
  std::optional<SerializationContext> piecesContext;
  TextBuffer pieces;
  std::array<std::size_t, kPieceCount> pieceEnd{};
  // Reused from event to event: the prefixes of the categories met last
  // (a session mostly has two or three), the last time stamp's digits (events
  // mostly share the second), and the order in which keys are written.
  std::vector<Prefixes> prefixCache;
  std::size_t nextEvicted = 0;
  std::int64_t timestamp = 0;
  JsonInteger timestampText{0};
  std::vector<std::size_t> keyOrder;
};

}  // namespace Ostrel
