#include "send_schedule.h"

#include <algorithm>

namespace Delivery {

std::int64_t BackOffCeilingMs(const RetryPolicy& policy, int attempts) {
  std::int64_t ceiling = policy.firstRetryMs;
  for (int doubled = 1; doubled < attempts && ceiling < policy.maxRetryMs; ++doubled) {
    ceiling *= 2;
  }
  return std::min(ceiling, policy.maxRetryMs);
}

std::int64_t LongestDelayMs(const RetryPolicy& policy) {
  return std::max(policy.maxRetryMs, kMaxRetryAfterMs);
}

SendSchedule::SendSchedule(RetryPolicy policy, std::uint64_t seed) : policy(policy), random(seed) {}

std::int64_t SendSchedule::OnFailure(int attempts, std::optional<std::int64_t> retryAfterMs,
                                     std::int64_t nowMs) {
  if (!failingSinceMs) failingSinceMs = nowMs;
  std::uniform_int_distribution<std::int64_t> draw(0, BackOffCeilingMs(policy, attempts));
  const std::int64_t backOff = draw(random);
  if (!retryAfterMs) return backOff;
  return std::max(backOff, std::clamp<std::int64_t>(*retryAfterMs, 0, kMaxRetryAfterMs));
}

void SendSchedule::OnAnswer(std::int64_t nowMs, std::int64_t waiting) {
  if (failingSinceMs) {
    const std::int64_t outageMs = std::max<std::int64_t>(0, nowMs - *failingSinceMs);
    spacingMs =
        std::min(policy.maxRetryMs, 2 * outageMs / (3 * (std::max<std::int64_t>(waiting, 0) + 1)));
    failingSinceMs.reset();
  }
  notBeforeMs = spacingMs > 0 ? nowMs + spacingMs : 0;
}

void SendSchedule::OnIdle() {
  spacingMs = 0;
  notBeforeMs = 0;
}

}  // namespace Delivery
