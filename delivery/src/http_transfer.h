// One POST to the collector with libcurl, and what its answer means for the
// request. The handle is reused, so the connection stays open between
// requests (keep-alive).
#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace Delivery {

struct AttemptResult {
  enum class Outcome {
    Delivered,  // 2xx
    Retry,      // no answer, 5xx, 408, 429, or any status outside 2xx and 4xx
    Rejected,   // any other 4xx: sending it again would not help
    Abandoned,  // stopped because the sender is stopping
  };
  Outcome outcome = Outcome::Retry;
  int status = 0;      // HTTP status; 0 when no answer came
  std::string reason;  // libcurl's error or "HTTP <status>: <start of the answer>"
  std::optional<std::int64_t> retryAfterMs;  // from a Retry-After header
};

// What an HTTP status means for the request.
AttemptResult::Outcome OutcomeOfStatus(int status);

// A Retry-After value, delay-seconds or an HTTP date, as milliseconds from
// nowMs (a date in the past gives 0). Nothing when it is neither.
std::optional<std::int64_t> ParseRetryAfter(const std::string& value, std::int64_t nowMs);

struct TransferOptions {
  std::int64_t connectTimeoutMs = 10000;
  std::int64_t requestTimeoutMs = 30000;
  bool reuseConnection = true;  // false: a new connection per request (benchmarks)
};

// Used by one thread only.
class HttpTransfer {
 public:
  // `abandon` is polled during a transfer; once true the transfer stops.
  HttpTransfer(TransferOptions options, const std::atomic<bool>& abandon);
  ~HttpTransfer();
  HttpTransfer(const HttpTransfer&) = delete;
  HttpTransfer& operator=(const HttpTransfer&) = delete;

  AttemptResult Post(const std::string& url, const std::vector<std::string>& headerLines,
                     const std::string& body, std::int64_t nowMs);

 private:
  void* handle;  // CURL*, kept out of this header
  const TransferOptions options;
  const std::atomic<bool>& abandon;
};

}  // namespace Delivery
