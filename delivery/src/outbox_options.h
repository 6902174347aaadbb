// How an outbox is run: its bounds, the retry policy, the transfer's
// limits, consent and compression, and the clock.
#pragma once

#include <cstdint>

#include "clock.h"
#include "http_transfer.h"
#include "outbox_store.h"
#include "send_schedule.h"

namespace Delivery {

struct OutboxOptions {
  Bounds bounds;
  RetryPolicy retry;
  TransferOptions transfer;
  // Nothing is sent until the player has given consent (Outbox::SetConsent).
  bool requireConsent = false;
  // Bodies larger than kGzipThresholdBytes go out gzip-compressed.
  bool compression = true;
  const Clock* clock = &SystemClock();
  std::int64_t maxPageCount = 0;  // > 0: the database cannot grow past it (a full disk)
};

}  // namespace Delivery
