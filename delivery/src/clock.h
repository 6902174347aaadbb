// The two clocks the library reads, behind a seam so that tests can move
// them: the wall clock (times stored on disk, the age bound, Retry-After
// dates) and the monotonic clock (every wait and duration within a run, so
// that a clock set back or forward does not stall or rush sending).
#pragma once

#include <cstdint>

namespace Delivery {

class Clock {
 public:
  virtual ~Clock() = default;
  // Milliseconds since 1970 on the system's real-time clock.
  virtual std::int64_t NowMs() const = 0;
  // Milliseconds on a clock that only moves forward, from an arbitrary start.
  virtual std::int64_t SteadyMs() const = 0;
};

// The system's real-time and monotonic clocks.
const Clock& SystemClock();

}  // namespace Delivery
