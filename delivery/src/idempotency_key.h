// The key a request carries in its Idempotency-Key header.
#pragma once

#include <string>

namespace Delivery {

// A random (version 4) UUID in lower-case text, 36 characters, from the
// system's random source: distinct across requests, runs and processes.
std::string NewIdempotencyKey();

}  // namespace Delivery
