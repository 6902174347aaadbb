// Wall-clock time in milliseconds since 1970, behind a seam so that tests
// can move it (back-off delays, Retry-After dates, the age bound).
#pragma once

#include <cstdint>

namespace Delivery {

class Clock {
 public:
  virtual ~Clock() = default;
  virtual std::int64_t NowMs() const = 0;
};

// The system's real-time clock.
const Clock& SystemClock();

}  // namespace Delivery
