// A clock the test moves by hand.
#pragma once

#include <atomic>
#include <chrono>

#include "clock.h"

class FakeClock : public Delivery::Clock {
 public:
  FakeClock() : now(Delivery::SystemClock().NowMs()) {}
  std::int64_t NowMs() const override { return now; }
  void Advance(std::int64_t ms) { now += ms; }

 private:
  std::atomic<std::int64_t> now;
};
