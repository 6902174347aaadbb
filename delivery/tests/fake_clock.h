// Clocks a test moves by hand.
#pragma once

#include <atomic>
#include <chrono>

#include "clock.h"

// Both clocks stand still until Advance moves them together.
class FakeClock : public Delivery::Clock {
 public:
  FakeClock() : now(Delivery::SystemClock().NowMs()) {}
  std::int64_t NowMs() const override { return now; }
  std::int64_t SteadyMs() const override { return now; }
  void Advance(std::int64_t ms) { now += ms; }

 private:
  std::atomic<std::int64_t> now;
};

// The system's clocks, with the wall clock set back or forward by Shift, as
// a user or a time service does while the game runs.
class ShiftedClock : public Delivery::Clock {
 public:
  std::int64_t NowMs() const override { return Delivery::SystemClock().NowMs() + shift; }
  std::int64_t SteadyMs() const override { return Delivery::SystemClock().SteadyMs(); }
  void Shift(std::int64_t ms) { shift += ms; }

 private:
  std::atomic<std::int64_t> shift{0};
};
