// Events and contexts with every kind of text and number that can reach the
// writer, drawn from a source of choices: a seeded generator in the
// differential test, the fuzzer's bytes in the fuzz target.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "analytics_event.h"
#include "fake_clock.h"
#include "serialization_context.h"

class ChoiceSource {
 public:
  virtual ~ChoiceSource() = default;
  // A number in [0, bound); bound is at least 1.
  virtual std::uint64_t Below(std::uint64_t bound) = 0;
  virtual std::uint64_t Bits() = 0;
  virtual std::string Bytes(std::size_t maxLength) = 0;
};

// A source of choices from a fixed seed: the same cases on every run.
class SeededChoices final : public ChoiceSource {
 public:
  explicit SeededChoices(std::uint64_t seed) : state(seed) {}
  std::uint64_t Below(std::uint64_t bound) override { return Bits() % bound; }
  std::uint64_t Bits() override;
  std::string Bytes(std::size_t maxLength) override;

 private:
  std::uint64_t state;
};

class EventGenerator {
 public:
  explicit EventGenerator(ChoiceSource& source) : source(source) {}

  // Empty, plain, escaped, non-ASCII, ill-formed UTF-8, arbitrary or long.
  std::string Text();
  // Anywhere in the double range: whole, fractional, subnormal, huge,
  // signed zero, infinite, NaN, and values narrowed to single precision.
  double MetricValue();
  Ostrel::SerializationContext Context();
  // The context of a later flush: mostly `previous` as it is or with one
  // value changed, sometimes a new one.
  Ostrel::SerializationContext NextContext(const Ostrel::SerializationContext& previous);
  // Its category custom, game, empty or any text; attributes and metrics
  // with duplicate keys and keys that meet "user_id"; the clock anywhere.
  AnalyticsEvent Event();
  // One event, a few, or more than a flush holds.
  std::deque<AnalyticsEvent> Events();

 private:
  std::string ContextValue();
  std::string Piece();
  std::string Key();
  Ostrel::EventCategory Category();

  ChoiceSource& source;
  FakeClock clock{0};
};
