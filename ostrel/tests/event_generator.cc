#include "event_generator.h"

#include <cstring>
#include <limits>
#include <string_view>

namespace {

template <typename T, std::size_t size>
const T& Pick(ChoiceSource& source, const T (&items)[size]) {
  return items[source.Below(size)];
}

// Boundary code points, every ill-formed shape nlohmann's decoder rejects,
// and the bytes JSON escapes.
const std::string_view kTextPieces[] = {
    "Skyforge",
    "player-4f1c2a9e7b3d55",
    " ",
    "\"",
    "\\",
    "/",
    "\\u0041",
    "\b\f\n\r\t",
    "\x01\x1f\x7f",
    std::string_view("\0x", 2),
    "\xC2\x80",
    "\xDF\xBF",
    "\xE0\xA0\x80",
    "\xED\x9F\xBF",
    "\xEE\x80\x80",
    "\xEF\xBF\xBF",
    "\xF0\x90\x80\x80",
    "\xF4\x8F\xBF\xBF",
    "\xC3\xA9t\xC3\xA9",
    "\xF0\x9F\x8E\xAE",
    "\x80",
    "\xBF",
    "\xC0\xAF",
    "\xC1",
    "\xC2",
    "\xE0\x80\x80",
    "\xE0\xA0",
    "\xED\xA0\x80",
    "\xF0\x80\x80\x80",
    "\xF0\x90\x80",
    "\xF4\x90\x80\x80",
    "\xF5\x80",
    "\xFE",
    "\xFF\xFF",
    "\xE2\x82",
};

const char* const kKeys[] = {"k",   "id",  "level",    "",     "user_id",
                             "_id", "sku", "\xC3\xA9", "\xFF", "\xFE"};
const char* const kCategories[] = {"c", "a", "", "user", "dsa", "\xC3", "\xE2\x82", "a_b"};

}  // namespace

// splitmix64: small, and the same sequence on every platform.
std::uint64_t SeededChoices::Bits() {
  std::uint64_t z = (state += 0x9E3779B97F4A7C15u);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
  return z ^ (z >> 31);
}

std::string SeededChoices::Bytes(std::size_t maxLength) {
  std::string bytes(Below(maxLength + 1), '\0');
  for (char& byte : bytes) byte = static_cast<char>(Bits());
  return bytes;
}

std::string EventGenerator::Piece() {
  switch (source.Below(3)) {
    case 0:
      return source.Bytes(8);
    case 1:
      return std::string(1, static_cast<char>(source.Below(256)));
    default:
      return std::string(Pick(source, kTextPieces));
  }
}

std::string EventGenerator::Text() {
  std::string text;
  switch (source.Below(10)) {
    case 0:
      return text;
    case 1:
      return std::string(Pick(source, kTextPieces));
    case 2:
      return source.Bytes(40);
    case 3:  // long: past the 512-byte blocks nlohmann escapes in
      for (std::uint64_t n = 100 + source.Below(300); n > 0; --n) text += Piece();
      return text;
    default:
      for (std::uint64_t n = 1 + source.Below(6); n > 0; --n) text += Piece();
      return text;
  }
}

double EventGenerator::MetricValue() {
  constexpr double kSpecials[] = {0.0,
                                  -0.0,
                                  1.0,
                                  7.0,
                                  0.1,
                                  1e15,
                                  1e16,
                                  1e-4,
                                  1e-5,
                                  123456789012345678.0,
                                  std::numeric_limits<double>::denorm_min(),
                                  std::numeric_limits<double>::min(),
                                  std::numeric_limits<double>::max(),
                                  std::numeric_limits<double>::lowest(),
                                  std::numeric_limits<double>::infinity(),
                                  -std::numeric_limits<double>::infinity(),
                                  std::numeric_limits<double>::quiet_NaN()};
  const std::uint64_t bits = source.Bits();
  double value = 0;
  std::memcpy(&value, &bits, sizeof value);
  switch (source.Below(5)) {
    case 0:
      return value;
    case 1:
      return static_cast<double>(static_cast<std::int64_t>(bits) >> source.Below(64));
    case 2:
      return static_cast<float>(value);
    case 3:
      return static_cast<double>(static_cast<std::int64_t>(bits % 2000001) - 1000000) / 100;
    default:
      return Pick(source, kSpecials);
  }
}

namespace {

std::vector<std::string*> ValuesOf(Ostrel::SerializationContext& context) {
  return {&context.userId,          &context.clientId,    &context.platformName,
          &context.platformVersion, &context.appId,       &context.packageName,
          &context.title,           &context.versionName, &context.versionCode,
          &context.localeCode,      &context.language,    &context.country,
          &context.sessionId};
}

}  // namespace

// Long context values are rare: every event of a batch repeats them.
std::string EventGenerator::ContextValue() {
  std::string value = Text();
  if (source.Below(8) != 0 && value.size() > 40) value.resize(40);
  return value;
}

Ostrel::SerializationContext EventGenerator::Context() {
  Ostrel::SerializationContext context;
  for (std::string* value : ValuesOf(context)) *value = ContextValue();
  return context;
}

Ostrel::SerializationContext EventGenerator::NextContext(
    const Ostrel::SerializationContext& previous) {
  Ostrel::SerializationContext context = previous;
  switch (source.Below(4)) {
    case 0:
      return Context();
    case 1: {
      const std::vector<std::string*> values = ValuesOf(context);
      *values[source.Below(values.size())] = ContextValue();
      return context;
    }
    default:
      return context;
  }
}

std::string EventGenerator::Key() { return source.Below(2) == 0 ? Pick(source, kKeys) : Text(); }

Ostrel::EventCategory EventGenerator::Category() {
  switch (source.Below(4)) {
    case 0:
      return Ostrel::EventCategory::Custom();
    case 1:
      return Ostrel::EventCategory::Game();
    case 2:
      return Ostrel::EventCategory(Pick(source, kCategories));
    default:
      return Ostrel::EventCategory(Text());
  }
}

AnalyticsEvent EventGenerator::Event() {
  clock.Set(static_cast<std::int64_t>(source.Bits()) >> source.Below(64));
  AnalyticsEvent event(Text());
  event.SetCategory(Category());
  for (std::uint64_t n = source.Below(6); n > 0; --n) event.AddAttribute(Key(), Text());
  for (std::uint64_t n = source.Below(5); n > 0; --n) event.AddMetric(Key(), MetricValue());
  return event;
}

std::deque<AnalyticsEvent> EventGenerator::Events() {
  constexpr std::uint64_t kCounts[] = {1, 1, 1, 2, 2, 3, 5, 30};
  std::deque<AnalyticsEvent> events;
  for (std::uint64_t n = Pick(source, kCounts); n > 0; --n) events.push_back(Event());
  return events;
}
