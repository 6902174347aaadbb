#include "clock.h"

#include <ctime>

namespace Clock {
namespace {

std::int64_t SystemSeconds() { return static_cast<std::int64_t>(std::time(nullptr)); }

Source currentSource = &SystemSeconds;

}  // namespace

std::int64_t NowSeconds() { return currentSource(); }

std::int64_t NowMilliseconds() { return NowSeconds() * 1000; }

void SetSource(Source source) { currentSource = source != nullptr ? source : &SystemSeconds; }

}  // namespace Clock
