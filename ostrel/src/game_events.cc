#include "game_events.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "custom_attributes.h"
#include "event_category.h"
#include "services_client.h"

namespace Ostrel::GameEvents {
namespace {

// Takes the event over; the services client's by-value parameter is built
// from it by a move.
void RecordGameEvent(ServicesClient& services, AnalyticsEvent&& event) {
  services.RecordEvent(std::move(event), EventCategory::Game());
}

double LowByte(std::int32_t slot) { return static_cast<std::uint8_t>(slot & 0xFF); }

// The low 32 bits of an integer, read as a signed 32-bit number.
double LowBitsSigned(std::int64_t value) {
  const auto low = static_cast<std::uint32_t>(value);
  return low < 0x80000000u ? low : static_cast<double>(low) - 4294967296.0;
}

// Rounds to the nearest float as IEEE 754 narrowing does, without converting
// a value outside the float range (undefined behaviour in C++): beyond the
// largest float a value rounds to that float up to the halfway point to
// 2^128, and to infinity from there on. NaN stays NaN.
double NarrowToFloat(double value) {
  constexpr double kLargest = std::numeric_limits<float>::max();
  constexpr double kOverflow = 0x1.ffffffp+127;  // halfway from `kLargest` to 2^128
  const double magnitude = std::fabs(value);
  if (magnitude <= kLargest) return static_cast<float>(value);
  if (std::isnan(value)) return value;
  return std::copysign(magnitude < kOverflow ? kLargest : std::numeric_limits<double>::infinity(),
                       value);
}

// Integers keep their low 32 bits, read with the signedness the text gave
// them (negative ones are signed); fractions pass through float.
void AddValue(AnalyticsEvent& event, CustomValue& value) {
  switch (value.kind) {
    case CustomValue::Kind::kText:
      event.AddAttribute(std::move(value.key), std::move(value.text));
      break;
    case CustomValue::Kind::kSigned:
      event.AddMetric(std::move(value.key), LowBitsSigned(value.signedInteger));
      break;
    case CustomValue::Kind::kUnsigned:
      event.AddMetric(std::move(value.key), static_cast<std::uint32_t>(value.unsignedInteger));
      break;
    case CustomValue::Kind::kFraction:
      event.AddMetric(std::move(value.key), NarrowToFloat(value.fraction));
      break;
    case CustomValue::Kind::kOther:
      break;  // booleans, null, objects and arrays carry nothing
  }
}

}  // namespace

// Built in a variable and moved: what AddMetric returns is a reference, and
// recording it would copy the event.
void RecordLevelUp(ServicesClient& services, std::int32_t level) {
  AnalyticsEvent event("Levelup");
  event.AddMetric("level", level);
  RecordGameEvent(services, std::move(event));
}

void RecordStartLoading(ServicesClient& services) {
  RecordGameEvent(services, AnalyticsEvent("Start_loading"));
}

void RecordFinishLoading(ServicesClient& services) {
  RecordGameEvent(services, AnalyticsEvent("Finish_loading"));
}

void RecordTutorialStart(ServicesClient& services) {
  RecordGameEvent(services, AnalyticsEvent("Tutorial_start"));
}

void RecordTutorialFinish(ServicesClient& services) {
  RecordGameEvent(services, AnalyticsEvent("Tutorial_finish"));
}

void RecordPurchase(ServicesClient& services, double price, std::string currency, std::string sku,
                    std::int32_t amount, std::int32_t validated, std::string name,
                    std::int32_t sandbox) {
  AnalyticsEvent event("Purchase");
  event.Reserve(3, 4);
  event.AddMetric("price", price)
      .AddAttribute("currency", std::move(currency))
      .AddAttribute("sku", std::move(sku))
      .AddMetric("amount", amount)
      .AddMetric("validated", LowByte(validated))
      .AddAttribute("name", std::move(name))
      .AddMetric("sandbox", LowByte(sandbox));
  RecordGameEvent(services, std::move(event));
}

bool RecordCustom(ServicesClient& services, std::string name, std::string_view attributesJson) {
  std::vector<CustomValue> values;
  values.reserve(8);
  if (!ReadCustomAttributes(attributesJson, values)) return false;
  const auto texts = static_cast<std::size_t>(std::count_if(
      values.begin(), values.end(),
      [](const CustomValue& value) { return value.kind == CustomValue::Kind::kText; }));
  AnalyticsEvent event(std::move(name));
  event.Reserve(texts, values.size() - texts);
  for (CustomValue& value : values) AddValue(event, value);
  services.RecordEvent(std::move(event), EventCategory::Custom());
  return true;
}

}  // namespace Ostrel::GameEvents
