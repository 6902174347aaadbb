// One POST to the collector with libcurl, and what its answer means for the
// request. The handles are reused, so the connection stays open between
// requests (keep-alive). The transfer runs in libcurl's multi interface so
// that a stop is noticed at once, whatever the transfer is doing.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace Delivery {

struct AttemptResult {
  enum class Outcome {
    Delivered,  // 2xx
    Retry,      // no answer, 5xx, 408, 429, or any status outside 2xx and 4xx
    Rejected,   // any other 4xx, or a request libcurl cannot send at all:
                // sending it again would not help
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

// The header lines handed to libcurl for the message's `lines`: each line
// exactly as given (an empty value kept, which libcurl would otherwise leave
// out), and libcurl's own Content-Type, Accept and Expect lines suppressed,
// so that nothing but the message's lines (and the protocol's Host and
// Content-Length) goes out.
std::vector<std::string> CurlHeaderLines(const std::vector<std::string>& lines);

struct TransferOptions {
  std::int64_t connectTimeoutMs = 10000;
  std::int64_t requestTimeoutMs = 30000;
  bool reuseConnection = true;  // false: a new connection per request (benchmarks)
};

// Used by one thread, except Wakeup.
class HttpTransfer {
 public:
  // `abandon` is asked between the transfer's steps (it must be cheap);
  // once it answers true the transfer stops (at once after a Wakeup).
  HttpTransfer(TransferOptions options, std::function<bool()> abandon);
  ~HttpTransfer();
  HttpTransfer(const HttpTransfer&) = delete;
  HttpTransfer& operator=(const HttpTransfer&) = delete;

  // Runs `meanwhile` about once a second while the transfer lasts (on the
  // calling thread, between libcurl's steps); the transfer is abandoned
  // when it returns false.
  AttemptResult Post(const std::string& url, const std::vector<std::string>& headerLines,
                     const std::string& body, std::int64_t nowMs,
                     const std::function<bool()>& meanwhile = nullptr);

  // Makes a Post in progress ask `abandon` now. Any thread.
  void Wakeup();

 private:
  void* easy;   // CURL*, kept out of this header
  void* multi;  // CURLM*
  const TransferOptions options;
  const std::function<bool()> abandon;
};

}  // namespace Delivery
