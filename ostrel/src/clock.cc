#include "clock.h"

#include <algorithm>
#include <ctime>
#include <limits>

namespace Ostrel::Clock {
namespace {

#if defined(_WIN32)
// 64-bit seconds whatever time_t is (_USE_32BIT_TIME_T makes it 32-bit).
std::int64_t SystemSeconds() { return _time64(nullptr); }
#else
std::int64_t SystemSeconds() { return static_cast<std::int64_t>(std::time(nullptr)); }
#endif

Source currentSource = &SystemSeconds;

}  // namespace

std::int64_t NowSeconds() { return currentSource(); }

// Saturates instead of overflowing for readings no real clock gives.
std::int64_t NowMilliseconds() {
  constexpr std::int64_t kLimit = std::numeric_limits<std::int64_t>::max() / 1000;
  return std::clamp(NowSeconds(), -kLimit, kLimit) * 1000;
}

void SetSource(Source source) { currentSource = source != nullptr ? source : &SystemSeconds; }

}  // namespace Ostrel::Clock
