#include "clock.h"

#include <chrono>

namespace Delivery {
namespace {

template <typename Source>
std::int64_t MillisecondsOf() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Source::now().time_since_epoch())
      .count();
}

class RealClock : public Clock {
 public:
  std::int64_t NowMs() const override { return MillisecondsOf<std::chrono::system_clock>(); }
  std::int64_t SteadyMs() const override { return MillisecondsOf<std::chrono::steady_clock>(); }
};

}  // namespace

const Clock& SystemClock() {
  // Never destroyed: an outbox closed by a static destructor still reads it.
  static const RealClock* const clock = new RealClock;
  return *clock;
}

}  // namespace Delivery
