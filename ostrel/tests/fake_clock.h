// Puts the library's clock under a test's control for the test's lifetime.
#pragma once

#include <cstdint>

#include "clock.h"

class FakeClock {
 public:
  explicit FakeClock(std::int64_t seconds) {
    now = seconds;
    Ostrel::Clock::SetSource(&Read);
  }
  ~FakeClock() { Ostrel::Clock::SetSource(nullptr); }
  FakeClock(const FakeClock&) = delete;
  FakeClock& operator=(const FakeClock&) = delete;

  void Set(std::int64_t seconds) { now = seconds; }
  void Advance(std::int64_t seconds) { now += seconds; }

 private:
  static std::int64_t Read() { return now; }
  static inline std::int64_t now = 0;
};
