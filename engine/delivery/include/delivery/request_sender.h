// Sends the game's queued analytics requests to a collector over HTTP.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "delivery/collector_address.h"

namespace Delivery {

struct SenderOptions {
  std::string collectorUrl;                        // http(s) base address, see CollectorAddress
  int maxAttempts = 5;                             // attempts per message, including the first
  std::chrono::milliseconds firstRetryDelay{100};  // doubles after each retry
  std::chrono::milliseconds connectTimeout{3000};
  std::chrono::milliseconds totalTimeout{10000};  // per attempt
};

// What became of one submitted message.
struct DeliveryOutcome {
  bool sent = false;
  long status = 0;     // HTTP status of the last response; 0 when there was none
  std::string reason;  // why it failed (libcurl's error text, "HTTP 400: <body>",
                       // "malformed request message: ...", "shutdown"); empty when sent
  int attempts = 0;    // send attempts made; 0 when it was never sent
  std::string url;     // the address it was posted to; empty for a malformed message
};

using OutcomeCallback = std::function<void(const DeliveryOutcome&)>;

// Posts request messages (see ParseRequestMessage) to the collector, one at a
// time and in the order submitted, on a worker thread of its own, so the game
// thread never waits for the network. Each message is posted to
// CollectorAddress::TargetFor(its url) with its header lines as given and its
// "data" as the body.
//
// A connection failure, a timeout, an HTTP 5xx or 429 answer is retried up
// to maxAttempts in total, waiting firstRetryDelay, then twice that, and so
// on between attempts. Any other answer outside 2xx (a 400 for a malformed
// body, say) fails at once: sending it again would not help.
//
// Every message gets exactly one outcome, delivered to the callback on the
// worker thread, in submission order. The callback must not call back into
// the sender; an exception it throws is swallowed.
//
// Destruction does not send what is still pending: it aborts the transfer in
// progress and reports it and every message not yet sent as failed with the
// reason "shutdown". Call Drain first to send everything.
//
// Submit and Drain may be called from any thread, but not concurrently with
// the destructor.
class RequestSender {
 public:
  // Throws InvalidCollectorUrl for an unusable collector address.
  RequestSender(SenderOptions options, OutcomeCallback onOutcome);
  ~RequestSender();

  RequestSender(const RequestSender&) = delete;
  RequestSender& operator=(const RequestSender&) = delete;

  // Queues one request message text; returns at once.
  void Submit(std::string messageText);

  // Waits until every submitted message has its outcome reported, or until
  // `timeout` has passed. Returns true when nothing is left unfinished.
  bool Drain(std::chrono::milliseconds timeout);

 private:
  void Run();
  DeliveryOutcome Deliver(const std::string& messageText, class CurlTransfer& transfer);
  bool WaitBeforeRetry(int attemptsMade);  // false when shutting down
  void Report(const DeliveryOutcome& outcome);
  void FailPendingAtShutdown();

  const SenderOptions options;
  const CollectorAddress collector;
  const OutcomeCallback onOutcome;

  std::mutex mutex;
  std::condition_variable changed;  // queue grew, a message finished, or stopping
  std::deque<std::string> pending;  // submitted, not yet taken by the worker
  std::size_t unfinished = 0;       // submitted, outcome not yet reported
  bool stopping = false;
  std::atomic<bool> aborting{false};  // read by libcurl during a transfer
  std::thread worker;                 // last: starts after everything above is ready
};

}  // namespace Delivery
