#include "delivery/request_sender.h"

#include <algorithm>
#include <utility>

#include "curl_transfer.h"
#include "delivery/request_message.h"

namespace Delivery {
namespace {

DeliveryOutcome Failed(std::string reason, int attempts, std::string url, long status = 0) {
  DeliveryOutcome outcome;
  outcome.status = status;
  outcome.reason = std::move(reason);
  outcome.attempts = attempts;
  outcome.url = std::move(url);
  return outcome;
}

// The address a message would have gone to, for reporting; empty when the
// message is malformed.
std::string TargetOrEmpty(const CollectorAddress& collector, const std::string& messageText) {
  try {
    return collector.TargetFor(ParseRequestMessage(messageText).url);
  } catch (const MalformedMessage&) {
    return "";
  }
}

}  // namespace

RequestSender::RequestSender(SenderOptions options, OutcomeCallback onOutcome)
    : options(std::move(options)),
      collector(this->options.collectorUrl),
      onOutcome(std::move(onOutcome)),
      worker([this] { Run(); }) {}

RequestSender::~RequestSender() {
  {
    std::lock_guard<std::mutex> lock(mutex);
    stopping = true;
  }
  aborting = true;
  changed.notify_all();
  worker.join();
}

void RequestSender::Submit(std::string messageText) {
  {
    std::lock_guard<std::mutex> lock(mutex);
    pending.push_back(std::move(messageText));
    ++unfinished;
  }
  changed.notify_all();
}

bool RequestSender::Drain(std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> lock(mutex);
  return changed.wait_for(lock, timeout, [this] { return unfinished == 0; });
}

void RequestSender::Run() {
  CurlTransfer transfer(options.connectTimeout, options.totalTimeout, aborting);
  for (;;) {
    std::string messageText;
    {
      std::unique_lock<std::mutex> lock(mutex);
      changed.wait(lock, [this] { return stopping || !pending.empty(); });
      if (stopping) break;
      messageText = std::move(pending.front());
      pending.pop_front();
    }
    Report(Deliver(messageText, transfer));
  }
  FailPendingAtShutdown();
}

DeliveryOutcome RequestSender::Deliver(const std::string& messageText, CurlTransfer& transfer) {
  RequestMessage message;
  std::string target;
  try {
    message = ParseRequestMessage(messageText);
    target = collector.TargetFor(message.url);
  } catch (const MalformedMessage& error) {
    return Failed(error.what(), 0, "");
  }
  for (int attempt = 1;; ++attempt) {
    AttemptResult result = transfer.Post(target, message.headers, message.data);
    if (result.kind == AttemptResult::Kind::Sent) {
      DeliveryOutcome outcome;
      outcome.sent = true;
      outcome.status = result.status;
      outcome.attempts = attempt;
      outcome.url = target;
      return outcome;
    }
    bool again = result.kind == AttemptResult::Kind::Retryable && attempt < options.maxAttempts;
    if (again && !WaitBeforeRetry(attempt)) {
      return Failed("shutdown", attempt, target, result.status);
    }
    if (!again) return Failed(result.reason, attempt, target, result.status);
  }
}

bool RequestSender::WaitBeforeRetry(int attemptsMade) {
  int doublings = std::min(attemptsMade - 1, 20);
  auto delay = options.firstRetryDelay * (1LL << doublings);
  std::unique_lock<std::mutex> lock(mutex);
  return !changed.wait_for(lock, delay, [this] { return stopping; });
}

void RequestSender::Report(const DeliveryOutcome& outcome) {
  try {
    if (onOutcome) onOutcome(outcome);
  } catch (...) {
    // The caller's trouble; the next message is still delivered.
  }
  {
    std::lock_guard<std::mutex> lock(mutex);
    --unfinished;
  }
  changed.notify_all();
}

void RequestSender::FailPendingAtShutdown() {
  std::deque<std::string> left;
  {
    std::lock_guard<std::mutex> lock(mutex);
    left.swap(pending);
  }
  for (const std::string& messageText : left) {
    Report(Failed("shutdown", 0, TargetOrEmpty(collector, messageText)));
  }
}

}  // namespace Delivery
