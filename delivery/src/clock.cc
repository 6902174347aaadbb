#include "clock.h"

#include <chrono>

namespace Delivery {
namespace {

class RealClock : public Clock {
 public:
  std::int64_t NowMs() const override {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
  }
};

}  // namespace

const Clock& SystemClock() {
  // Never destroyed: an outbox closed by a static destructor still reads it.
  static const RealClock* const clock = new RealClock;
  return *clock;
}

}  // namespace Delivery
