// The one place the library reads calendar time. Tests (and fuzz targets)
// install a fake source; the shipped library reads the system clock.
#pragma once

#include <cstdint>

namespace Ostrel::Clock {

using Source = std::int64_t (*)();

// Current calendar time in whole seconds since 1970-01-01 UTC.
std::int64_t NowSeconds();

// Event time stamps: NowSeconds() * 1000.
std::int64_t NowMilliseconds();

// Replaces the time source; nullptr restores the system clock.
void SetSource(Source source);

}  // namespace Ostrel::Clock
