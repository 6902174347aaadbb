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
// a JSON object built pair by pair. `order` is scratch space.
template <typename Pair, typename Write>
void ForEachDistinctKey(const std::vector<Pair>& pairs, std::vector<std::size_t>& order,
                        Write write) {
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

}  // namespace

EventSerializer::EventSerializer(const SerializationContext& context, JsonDepth depth)
    : depth(depth) {
  WritePieces(context);
}

// Keys in byte order; the fixed parts in between are written at this depth.
void EventSerializer::WritePieces(const SerializationContext& context) {
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
  EndPiece(head);
  json.Fixed(R"(,"attributes":{)");
  EndPiece(attributes);
  json.Fixed(R"("user_id":)");
  json.String(context.userId);
  EndPiece(userId);
  json.Fixed(R"(,"client":{"client_id":)");
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
  EndPiece(shared);
  json.Fixed(R"(,"event_type":)");
  EndPiece(eventType);
  json.Fixed(R"(,"event_version":"1.0","metrics":)");
  EndPiece(metrics);
  json.Fixed(R"(,"session":{"session_id":)");
  json.String(context.sessionId);
  json.Fixed(R"(,"start_timestamp":)");
  EndPiece(session);
  json.Fixed(R"(,"stop_timestamp":)");
  EndPiece(stopTimestamp);
}

std::string_view EventSerializer::Text(Piece piece) const {
  const std::size_t start = piece == head ? 0 : pieceEnd[piece - 1];
  return std::string_view(pieces).substr(start, pieceEnd[piece] - start);
}

void EventSerializer::WriteBody(std::string& out, const std::deque<AnalyticsEvent>& events) {
  if (events.size() == 1) {
    WriteEvent(out, events.front());
    return;
  }
  out.push_back('[');
  for (const AnalyticsEvent& event : events) {
    if (&event != &events.front()) out.push_back(',');
    WriteEvent(out, event);
  }
  out.push_back(']');
}

void EventSerializer::SetPrefix(Prefix& prefix, std::string text) {
  prefix.written.clear();
  AppendEscaped(prefix.written, text, depth);
  prefix.text = std::move(text);
}

void EventSerializer::UsePrefixesOf(const EventCategory& category) {
  if (prefixCategory && *prefixCategory == category) return;
  SetPrefix(typePrefix, category.TypePrefix());
  SetPrefix(attributePrefix, category.AttributeKeyPrefix());
  SetPrefix(metricPrefix, category.MetricKeyPrefix());
  prefixCategory = category;
}

void EventSerializer::WriteEvent(std::string& out, const AnalyticsEvent& event) {
  JsonWriter json(out, depth);
  UsePrefixesOf(event.Category());
  const JsonInteger timestamp(event.Timestamp());

  json.Raw(Text(head));
  json.Raw(timestamp.Text());
  WriteAttributes(json, event);
  json.Raw(Text(shared));
  json.Raw(timestamp.Text());
  json.Raw(Text(eventType));
  json.Quote();
  json.Raw(typePrefix.written);
  json.Escaped(event.Name());
  json.Quote();
  json.Raw(Text(metrics));
  WriteMetrics(json, event);
  json.Raw(Text(session));
  json.Raw(timestamp.Text());
  json.Raw(Text(stopTimestamp));
  json.Raw(timestamp.Text());
  json.Raw("}}");
}

// "user_id" takes its place among the prefixed keys and replaces an
// attribute whose prefixed key is the same.
void EventSerializer::WriteAttributes(JsonWriter& json, const AnalyticsEvent& event) {
  json.Raw(Text(attributes));
  bool first = true;
  auto separate = [&] {
    if (!first) json.Raw(',');
    first = false;
  };
  bool userIdWritten = false;
  ForEachDistinctKey(event.Attributes(), keyOrder, [&](const AnalyticsEvent::Attribute& pair) {
    const int order = ComparePrefixedKey(attributePrefix.text, pair.first, kUserIdKey);
    if (order == 0) return;
    if (order > 0 && !userIdWritten) {
      separate();
      json.Raw(Text(userId));
      userIdWritten = true;
    }
    separate();
    WriteKey(json, attributePrefix, pair.first);
    json.String(pair.second);
  });
  if (!userIdWritten) {
    separate();
    json.Raw(Text(userId));
  }
  json.Raw('}');
}

// Null, not an empty object, when the event has no metrics.
void EventSerializer::WriteMetrics(JsonWriter& json, const AnalyticsEvent& event) {
  if (event.Metrics().empty()) {
    json.Raw("null");
    return;
  }
  json.Raw('{');
  bool first = true;
  ForEachDistinctKey(event.Metrics(), keyOrder, [&](const AnalyticsEvent::Metric& pair) {
    if (!first) json.Raw(',');
    first = false;
    WriteKey(json, metricPrefix, pair.first);
    json.Number(pair.second);
  });
  json.Raw('}');
}

void EventSerializer::WriteKey(JsonWriter& json, const Prefix& prefix, std::string_view key) {
  json.Quote();
  json.Raw(prefix.written);
  json.Escaped(key);
  json.Quote();
  json.Raw(':');
}

std::size_t EventSerializer::EstimateBodySize(const std::deque<AnalyticsEvent>& events) const {
  constexpr std::size_t kTimestampSize = 14;  // 13 digits until the year 2286, and a comma
  constexpr std::size_t kNumberSize = 24;     // as long as a metric value usually gets
  constexpr std::size_t kMemberSize = 10;     // quotation marks, colon and comma at depth twice
  std::size_t size = 2;
  for (const AnalyticsEvent& event : events) {
    const std::size_t prefixSize = event.Category().Code().size() + 4;
    size += pieces.size() + 4 * kTimestampSize + event.Category().Code().size() +
            event.Name().size() + kMemberSize;
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
