// One HTTP POST attempt with libcurl, and what it means for retrying.
#pragma once

#include <atomic>
#include <chrono>
#include <string>
#include <vector>

namespace Delivery {

struct AttemptResult {
  enum class Kind {
    Sent,       // 2xx answer
    Retryable,  // connection failure, timeout, 5xx or 429: worth another try
    Permanent,  // any other answer or error: another try would fail the same way
    Aborted,    // stopped because the sender is shutting down
  };
  Kind kind = Kind::Permanent;
  long status = 0;     // HTTP status; 0 when no response arrived
  std::string reason;  // empty when sent
};

// Owns one libcurl handle, reused for every attempt so the connection to the
// collector stays open between requests. Used by one thread only.
class CurlTransfer {
 public:
  // `abortFlag` is polled during a transfer; once true the transfer stops.
  CurlTransfer(std::chrono::milliseconds connectTimeout, std::chrono::milliseconds totalTimeout,
               const std::atomic<bool>& abortFlag);
  ~CurlTransfer();

  CurlTransfer(const CurlTransfer&) = delete;
  CurlTransfer& operator=(const CurlTransfer&) = delete;

  AttemptResult Post(const std::string& url, const std::vector<std::string>& headerLines,
                     const std::string& body);

 private:
  void* handle;  // CURL*, kept out of this header
  std::chrono::milliseconds connectTimeout;
  std::chrono::milliseconds totalTimeout;
  const std::atomic<bool>& abortFlag;
};

// curl_global_init, once per process, safe to call from any thread.
// Returns false when libcurl could not be initialised.
bool EnsureCurlGlobalInit();

}  // namespace Delivery
