#include "ui_loop.h"

#include <algorithm>

#include "platform/stand_in/trace.h"

namespace Platform::Internal {

UiLoop& UiLoop::Instance() {
  static UiLoop loop;
  return loop;
}

void UiLoop::BindCurrentThread() {
  Trace::NameCurrentThread("ui");
  std::lock_guard<std::mutex> lock(mutex_);
  uiThread_ = std::this_thread::get_id();
}

void UiLoop::Unbind() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    uiThread_ = std::thread::id();
  }
  Trace::NameCurrentThread("");
}

bool UiLoop::IsUiThread() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return uiThread_ == std::this_thread::get_id();
}

void UiLoop::Post(int priority, std::function<void()> handler) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    queues_[priority].push_back(std::move(handler));
  }
  wake_.notify_all();
}

bool UiLoop::QueuesEmpty() const {
  for (auto& entry : queues_) {
    if (!entry.second.empty()) return false;
  }
  return true;
}

bool UiLoop::RunOne() {
  std::function<void()> handler;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (exitRequested_) return false;
    for (auto& entry : queues_) {
      if (entry.second.empty()) continue;
      handler = std::move(entry.second.front());
      entry.second.pop_front();
      break;
    }
    running_ = handler != nullptr;
  }
  if (!handler) return false;
  handler();
  handler = nullptr;
  FlushLayout();
  std::lock_guard<std::mutex> lock(mutex_);
  running_ = false;
  return true;
}

void UiLoop::RunUntilIdle() {
  for (;;) {
    if (RunOne()) continue;
    std::unique_lock<std::mutex> lock(mutex_);
    if (exitRequested_ || (QueuesEmpty() && PendingWorkItems() == 0)) return;
    wake_.wait(lock, [&] { return exitRequested_ || !QueuesEmpty() || PendingWorkItems() == 0; });
  }
}

bool UiLoop::RunUntil(const std::function<bool()>& done,
                      std::chrono::steady_clock::time_point deadline) {
  // Other threads may change what `done` looks at without queueing
  // anything, so the wait is short.
  constexpr std::chrono::milliseconds kPoll{5};
  while (!done()) {
    if (RunOne()) continue;
    const auto now = std::chrono::steady_clock::now();
    std::unique_lock<std::mutex> lock(mutex_);
    if (exitRequested_ || now >= deadline) break;
    wake_.wait_until(lock, std::min(deadline, now + kPoll),
                     [&] { return exitRequested_ || !QueuesEmpty(); });
  }
  return done();
}

void UiLoop::RunUntilExit() {
  for (;;) {
    if (RunOne()) continue;
    std::unique_lock<std::mutex> lock(mutex_);
    if (exitRequested_) return;
    wake_.wait(lock, [&] { return exitRequested_ || !QueuesEmpty(); });
  }
}

void UiLoop::RequestExit() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    exitRequested_ = true;
  }
  wake_.notify_all();
}

bool UiLoop::ExitRequested() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return exitRequested_;
}

bool UiLoop::Busy() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return running_ || !QueuesEmpty() || PendingWorkItems() > 0;
}

void UiLoop::Wake() {
  // Taking the lock orders the wake-up after the waiter's predicate check.
  { std::lock_guard<std::mutex> lock(mutex_); }
  wake_.notify_all();
}

std::size_t UiLoop::DropQueued() {
  decltype(queues_) dropped;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    dropped.swap(queues_);
  }
  std::size_t count = 0;
  for (auto& entry : dropped) count += entry.second.size();
  return count;  // the handlers, and what they hold, go here
}

void UiLoop::Reset() {
  DropQueued();
  std::lock_guard<std::mutex> lock(mutex_);
  exitRequested_ = false;
}

}  // namespace Platform::Internal
