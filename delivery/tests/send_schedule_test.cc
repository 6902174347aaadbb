#include "send_schedule.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "http_transfer.h"

using namespace Delivery;

TEST(SendSchedule, BackOffDoublesUpToTheCapWithFullJitter) {
  const RetryPolicy policy{1000, 300000};
  const std::pair<int, std::int64_t> ceilings[] = {{1, 1000},   {2, 2000},    {3, 4000},
                                                   {9, 256000}, {10, 300000}, {60, 300000}};
  for (const auto& [attempts, ceiling] : ceilings) {
    EXPECT_EQ(BackOffCeilingMs(policy, attempts), ceiling) << attempts;
  }
  SendSchedule schedule(policy, 42);
  std::int64_t lowest = 300000, highest = 0;
  for (int draw = 0; draw < 2000; ++draw) {
    const std::int64_t delay = schedule.OnFailure(4, std::nullopt, 0);
    lowest = std::min(lowest, delay), highest = std::max(highest, delay);
  }
  EXPECT_GE(lowest, 0);
  EXPECT_LT(lowest, 400) << "full jitter starts near zero";
  EXPECT_LE(highest, 8000);
  EXPECT_GT(highest, 7600);
}

TEST(SendSchedule, RetryAfterLengthensTheBackOffUpToAnHourAndNeverShortensIt) {
  SendSchedule plain({1000, 300000}, 1), told({1000, 300000}, 1);  // the same draws
  for (int attempts = 1; attempts <= 12; ++attempts) {
    const std::int64_t backOff = plain.OnFailure(attempts, std::nullopt, 0);
    EXPECT_EQ(told.OnFailure(attempts, 0, 0), backOff) << "Retry-After: 0";
  }
  EXPECT_EQ(told.OnFailure(1, 30000, 0), 30000);
  EXPECT_EQ(told.OnFailure(1, 99 * 3600 * 1000LL, 0), kMaxRetryAfterMs);
  EXPECT_EQ(LongestDelayMs({1000, 300000}), kMaxRetryAfterMs);

  const std::int64_t now = 1700000000000;  // Tue, 14 Nov 2023 22:13:20 GMT
  EXPECT_EQ(ParseRetryAfter("120", now), 120000);
  EXPECT_EQ(ParseRetryAfter("0", now), 0);
  EXPECT_EQ(ParseRetryAfter("Tue, 14 Nov 2023 22:14:20 GMT", now), 60000);
  EXPECT_EQ(ParseRetryAfter("Tue, 14 Nov 2023 22:00:00 GMT", now), 0) << "a date in the past";
  EXPECT_EQ(ParseRetryAfter("", now), std::nullopt);
  EXPECT_EQ(ParseRetryAfter("soon", now), std::nullopt);
  EXPECT_EQ(ParseRetryAfter("-5", now), std::nullopt);
}

TEST(SendSchedule, AfterAnOutageTheBacklogIsSpacedOutUntilTheOutboxIsEmpty) {
  SendSchedule schedule({1000, 300000}, 7);
  schedule.OnAnswer(1000, 5);
  EXPECT_EQ(schedule.NotBeforeMs(), 0) << "no outage, no spacing";

  schedule.OnFailure(1, std::nullopt, 10000);
  schedule.OnFailure(2, std::nullopt, 300000);
  schedule.OnAnswer(610000, 19);  // 600 s of failures, 19 requests waiting
  EXPECT_EQ(schedule.NotBeforeMs(), 610000 + 20000);
  schedule.OnAnswer(630000, 18);
  EXPECT_EQ(schedule.NotBeforeMs(), 650000) << "the spacing holds for the whole catch-up";
  schedule.OnIdle();
  EXPECT_EQ(schedule.NotBeforeMs(), 0);
  schedule.OnAnswer(700000, 3);
  EXPECT_EQ(schedule.NotBeforeMs(), 0);

  schedule.OnFailure(1, std::nullopt, 0);
  schedule.OnAnswer(100LL * 24 * 3600 * 1000, 0);
  EXPECT_EQ(schedule.NotBeforeMs(), 100LL * 24 * 3600 * 1000 + 300000) << "capped";
}

TEST(SendSchedule, StatusDecidesBetweenDeliveredRetryAndRejected) {
  using Outcome = AttemptResult::Outcome;
  for (int status : {200, 201, 204, 299}) EXPECT_EQ(OutcomeOfStatus(status), Outcome::Delivered);
  for (int status : {400, 401, 403, 404, 413, 422, 499}) {
    EXPECT_EQ(OutcomeOfStatus(status), Outcome::Rejected) << status;
  }
  for (int status : {408, 429, 500, 502, 503, 599, 301, 100}) {
    EXPECT_EQ(OutcomeOfStatus(status), Outcome::Retry) << status;
  }
}
