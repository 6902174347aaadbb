#include "event_serializer.h"

#include <algorithm>
#include <numeric>

#include "constants.h"

namespace Ostrel {

namespace {

constexpr std::string_view kUserIdKey = "user_id";

// Three-way byte comparison of `prefix` + `key` with `other`, without
// building the joined text.
int ComparePrefixedKey(std::string_view prefix, std::string_view key, std::string_view other) {
  for (std::string_view part : {prefix, key}) {
    const std::size_t common = std::min(part.size(), other.size());
    if (const int order = part.substr(0, common).compare(other.substr(0, common)); order != 0) {
      return order;
    }
    if (part.size() > other.size()) return 1;
    other.remove_prefix(common);
  }
  return other.empty() ? 0 : -1;
}

// Calls `write` once per distinct key of `pairs`, in byte order of the keys,
// with the last pair of that key: a later pair replaces an earlier one, as in
// a JSON object built pair by pair. Pairs already in order (a custom event's
// are) are written as they are. `order` is scratch space.
template <typename Pair, typename Write>
void ForEachDistinctKey(const std::vector<Pair>& pairs, std::vector<std::size_t>& order,
                        Write write) {
  const auto inOrder = [&pairs] {
    for (std::size_t i = 1; i < pairs.size(); ++i) {
      if (pairs[i - 1].first >= pairs[i].first) return false;
    }
    return true;
  };
  if (inOrder()) {
    for (const Pair& pair : pairs) write(pair);
    return;
  }
  order.resize(pairs.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  std::sort(order.begin(), order.end(), [&pairs](std::size_t a, std::size_t b) {
    const int byKey = pairs[a].first.compare(pairs[b].first);
    return byKey < 0 || (byKey == 0 && a < b);
  });
  for (std::size_t i = 0; i < order.size(); ++i) {
    const Pair& pair = pairs[order[i]];
    if (i + 1 < order.size() && pairs[order[i + 1]].first == pair.first) continue;
    write(pair);
  }
}

// `text` at `depth`, after the JSON text `before`.
void WritePrefix(TextBuffer& out, JsonDepth depth, std::string_view before,
                 const std::string& text) {
  out.Clear();
  JsonWriter json(out, depth);
  json.Fixed(before);
  json.Escaped(text);
}

}  // namespace

// Forgets the pieces first: should writing them fail half-way, they are
// written again next time whatever the context.
void EventSerializer::UseContext(const SerializationContext& context) {
  if (piecesContext && *piecesContext == context) return;
  piecesContext.reset();
  WritePieces(context);
  piecesContext = context;
}

// Keys in byte order; the fixed parts in between are written at this depth.
void EventSerializer::WritePieces(const SerializationContext& context) {
  pieces.Clear();
  JsonWriter json(pieces, depth);
  json.Fixed(R"({"application":{"app_id":)");
  json.String(context.appId);
  json.Fixed(R"(,"cognito_identity_pool_id":"","package_name":)");
  json.String(context.packageName);
  json.Fixed(R"(,"sdk":{"name":"Services","version":)");
  json.String(Constants::kVersion);
  json.Fixed(R"(},"title":)");
  json.String(context.title);
  json.Fixed(R"(,"version_code":)");
  json.String(context.versionCode);
  json.Fixed(R"(,"version_name":)");
  json.String(context.versionName);
  json.Fixed(R"(},"arrival_timestamp":)");
  EndPiece(kHead);
  json.Fixed(R"(,"attributes":{)");
  EndPiece(kAttributes);
  json.Fixed(R"("user_id":)");
  json.String(context.userId);
  EndPiece(kUserId);
  json.Fixed(R"(},"client":{"client_id":)");
  json.String(context.clientId);
  json.Fixed(R"(,"cognito_id":""},"device":{"locale":{"code":)");
  json.String(context.localeCode);
  json.Fixed(R"(,"country":)");
  json.String(context.country);
  json.Fixed(R"(,"language":)");
  json.String(context.language);
  json.Fixed(R"(},"make":"","model":"","platform":{"name":)");
  json.String(context.platformName);
  json.Fixed(R"(,"version":)");
  json.String(context.platformVersion);
  json.Fixed(R"(}},"event_timestamp":)");
  EndPiece(kShared);
  const auto session = [&] {
    json.Fixed(R"(,"session":{"session_id":)");
    json.String(context.sessionId);
    json.Fixed(R"(,"start_timestamp":)");
  };
  json.Fixed(R"(","event_version":"1.0","metrics":null)");
  session();
  EndPiece(kMetricsNullSession);
  json.Fixed(R"(","event_version":"1.0","metrics":{)");
  EndPiece(kMetricsOpen);
  json.Fixed("}");
  session();
  EndPiece(kMetricsCloseSession);
  json.Fixed(R"(,"stop_timestamp":)");
  EndPiece(kStopTimestamp);
  json.Fixed("}}");
  EndPiece(kEnd);
  json.Fixed(R"(":)");
  EndPiece(kKeyEnd);
  json.Fixed(R"(":")");
  EndPiece(kStringKeyEnd);
  json.Fixed(R"(")");
  EndPiece(kQuote);
}

std::string_view EventSerializer::Text(Piece first, Piece last) const {
  const std::size_t start = first == kHead ? 0 : pieceEnd[first - 1];
  return pieces.View().substr(start, pieceEnd[last] - start);
}

void EventSerializer::WriteBody(TextBuffer& out, const std::deque<AnalyticsEvent>& events) {
  JsonWriter json(out, depth);
  if (events.size() == 1) {
    WriteEvent(json, events.front());
    return;
  }
  json.Raw('[');
  for (const AnalyticsEvent& event : events) {
    if (&event != &events.front()) json.Raw(',');
    WriteEvent(json, event);
  }
  json.Raw(']');
}

// A category not among the cached ones takes the place of the oldest. The
// entry is written with its category unset, so that one left half-written
// matches no category.
const EventSerializer::Prefixes& EventSerializer::PrefixesOf(const EventCategory& category) {
  for (const Prefixes& cached : prefixCache) {
    if (cached.category == category) return cached;
  }
  std::size_t slot = prefixCache.size();
  if (slot < kCachedCategories) {
    prefixCache.emplace_back();
  } else {
    slot = nextEvicted;
    nextEvicted = (nextEvicted + 1) % kCachedCategories;
  }
  Prefixes& prefixes = prefixCache[slot];
  prefixes.category.reset();
  prefixes.attributeKey = category.AttributeKeyPrefix();
  WritePrefix(prefixes.type, depth, R"(,"event_type":")", category.TypePrefix());
  WritePrefix(prefixes.attributeKeyOpen, depth, R"(")", prefixes.attributeKey);
  WritePrefix(prefixes.metricKeyOpen, depth, R"(")", category.MetricKeyPrefix());
  prefixes.category = category;
  return prefixes;
}

std::string_view EventSerializer::TimestampText(std::int64_t value) {
  if (value != timestamp) {
    timestamp = value;
    timestampText = JsonInteger(value);
  }
  return timestampText.Text();
}

void EventSerializer::WriteEvent(JsonWriter& json, const AnalyticsEvent& event) {
  const Prefixes& prefixes = PrefixesOf(event.Category());
  const std::string_view stamp = TimestampText(event.Timestamp());
  json.Raw(Text(kHead));
  json.Raw(stamp);
  WriteAttributes(json, event, prefixes);
  json.Raw(stamp);
  json.Raw(prefixes.type.View());
  json.Escaped(event.Name());
  WriteMetrics(json, event, prefixes);
  json.Raw(stamp);
  json.Raw(Text(kStopTimestamp));
  json.Raw(stamp);
  json.Raw(Text(kEnd));
}

// From the attributes key to the event time stamp's. "user_id" takes its
// place among the prefixed keys and replaces an attribute whose prefixed key
// is the same.
void EventSerializer::WriteAttributes(JsonWriter& json, const AnalyticsEvent& event,
                                      const Prefixes& prefixes) {
  if (event.Attributes().empty()) {
    json.Raw(Text(kAttributes, kShared));
    return;
  }
  json.Raw(Text(kAttributes));
  bool first = true;
  auto separate = [&] {
    if (!first) json.Raw(',');
    first = false;
  };
  bool userIdWritten = false;
  ForEachDistinctKey(event.Attributes(), keyOrder, [&](const AnalyticsEvent::Attribute& pair) {
    const int order = ComparePrefixedKey(prefixes.attributeKey, pair.first, kUserIdKey);
    if (order == 0) return;
    if (order > 0 && !userIdWritten) {
      separate();
      json.Raw(Text(kUserId));
      userIdWritten = true;
    }
    separate();
    json.Raw(prefixes.attributeKeyOpen.View());
    json.Escaped(pair.first);
    json.Raw(Text(kStringKeyEnd));
    json.Escaped(pair.second);
    json.Raw(Text(kQuote));
  });
  if (!userIdWritten) {
    separate();
    json.Raw(Text(kUserId));
  }
  json.Raw(Text(kShared));
}

// From the end of the event type to the session's start time stamp. The
// metrics are null, not an empty object, when the event has none.
void EventSerializer::WriteMetrics(JsonWriter& json, const AnalyticsEvent& event,
                                   const Prefixes& prefixes) {
  if (event.Metrics().empty()) {
    json.Raw(Text(kMetricsNullSession));
    return;
  }
  json.Raw(Text(kMetricsOpen));
  bool first = true;
  ForEachDistinctKey(event.Metrics(), keyOrder, [&](const AnalyticsEvent::Metric& pair) {
    if (!first) json.Raw(',');
    first = false;
    json.Raw(prefixes.metricKeyOpen.View());
    json.Escaped(pair.first);
    json.Raw(Text(kKeyEnd));
    json.Number(pair.second);
  });
  json.Raw(Text(kMetricsCloseSession));
}

std::size_t EventSerializer::EstimateBodySize(const std::deque<AnalyticsEvent>& events) const {
  constexpr std::size_t kTimestampSize = 14;  // 13 digits until the year 2286, and a comma
  constexpr std::size_t kNumberSize = 24;     // as long as a metric value usually gets
  constexpr std::size_t kMemberSize = 10;     // quotation marks, colon and comma at depth twice
  constexpr std::size_t kTypeKeySize = 24;    // ,"event_type":" at depth twice
  // The fixed text of an event, its metrics object open or closed.
  const std::size_t fixedSize = Text(kHead).size() + Text(kAttributes, kShared).size() +
                                Text(kMetricsOpen).size() + Text(kMetricsCloseSession).size() +
                                Text(kStopTimestamp, kEnd).size() + kTypeKeySize;
  std::size_t size = 2;
  for (const AnalyticsEvent& event : events) {
    const std::size_t prefixSize = event.Category().Code().size() + 4;
    size += fixedSize + 4 * kTimestampSize + event.Category().Code().size() + event.Name().size() +
            kMemberSize;
    for (const auto& [key, value] : event.Attributes()) {
      size += prefixSize + key.size() + value.size() + kMemberSize;
    }
    for (const auto& metric : event.Metrics()) {
      size += prefixSize + metric.first.size() + kNumberSize + kMemberSize;
    }
  }
  return size;
}

}  // namespace Ostrel
