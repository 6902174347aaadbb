// When the sender tries again: exponential back-off with full jitter after
// a failed attempt, lengthened by a Retry-After the collector names, and
// spaced sends while catching up after an outage. Pure logic with no I/O, so
// the simulation in bench/ runs exactly this schedule. Its times are on the
// monotonic clock.
#pragma once

#include <cstdint>
#include <optional>
#include <random>

namespace Delivery {

struct RetryPolicy {
  std::int64_t firstRetryMs = 1000;  // ceiling of the first delay
  std::int64_t maxRetryMs = 300000;  // ceiling of every delay and of catch-up spacing
};

// The longest Retry-After the sender honours.
inline constexpr std::int64_t kMaxRetryAfterMs = 3600 * 1000;

// min(maxRetryMs, firstRetryMs * 2^(attempts-1)) for attempts >= 1.
std::int64_t BackOffCeilingMs(const RetryPolicy& policy, int attempts);

// The longest delay the schedule ever sets: a next-attempt time read from
// disk (written by another run, or under another wall-clock time) is
// trusted no further ahead than this.
std::int64_t LongestDelayMs(const RetryPolicy& policy);

class SendSchedule {
 public:
  SendSchedule(RetryPolicy policy, std::uint64_t seed);

  // A failed attempt (the request's `attempts`-th) at nowMs. Returns the
  // delay before the next attempt: drawn uniformly from
  // [0, BackOffCeilingMs(attempts)], or the collector's `retryAfterMs`
  // (at most kMaxRetryAfterMs) when that is longer. A Retry-After only
  // lengthens a wait: "0", or a date already past, leaves the back-off.
  std::int64_t OnFailure(int attempts, std::optional<std::int64_t> retryAfterMs,
                         std::int64_t nowMs);

  // The collector answered (delivered or rejected) at nowMs, with `waiting`
  // requests still to send. The first answer after failures that began D
  // ago starts a catch-up: the following sends are spaced by
  // min(maxRetryMs, 2D / (3 * (waiting + 1))), so the backlog goes out at
  // 1.5 times the rate it built up at, until the outbox is empty.
  void OnAnswer(std::int64_t nowMs, std::int64_t waiting);

  // The outbox is empty: a catch-up ends.
  void OnIdle();

  // The next send may not start before this time (0: any time).
  std::int64_t NotBeforeMs() const { return notBeforeMs; }

 private:
  RetryPolicy policy;
  std::mt19937_64 random;
  std::optional<std::int64_t> failingSinceMs;
  std::int64_t spacingMs = 0;
  std::int64_t notBeforeMs = 0;
};

}  // namespace Delivery
