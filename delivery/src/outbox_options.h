// How an outbox is run: its bounds, the retry policy, the transfer's
// limits and the clock.
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
  const Clock* clock = &SystemClock();
  std::int64_t maxPageCount = 0;  // > 0: the database cannot grow past it (a full disk)
};

}  // namespace Delivery
