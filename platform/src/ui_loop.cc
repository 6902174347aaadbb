#include "ui_loop.h"

namespace Platform::Internal {

UiLoop& UiLoop::Instance() {
  static UiLoop loop;
  return loop;
}

void UiLoop::BindCurrentThread() {
  std::lock_guard<std::mutex> lock(mutex_);
  uiThread_ = std::this_thread::get_id();
}

void UiLoop::Unbind() {
  std::lock_guard<std::mutex> lock(mutex_);
  uiThread_ = std::thread::id();
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
    for (auto& entry : queues_) {
      if (entry.second.empty()) continue;
      handler = std::move(entry.second.front());
      entry.second.pop_front();
      break;
    }
  }
  if (!handler) return false;
  handler();
  handler = nullptr;
  FlushLayout();
  return true;
}

void UiLoop::RunUntilIdle() {
  for (;;) {
    if (RunOne()) continue;
    JoinFinishedWorkItems();
    std::unique_lock<std::mutex> lock(mutex_);
    if (QueuesEmpty() && RunningWorkItems() == 0) break;
    wake_.wait(lock, [&] { return !QueuesEmpty() || RunningWorkItems() == 0; });
  }
  JoinAllWorkItems();
}

void UiLoop::RunUntilExit() {
  for (;;) {
    if (RunOne()) continue;
    JoinFinishedWorkItems();
    std::unique_lock<std::mutex> lock(mutex_);
    if (exitRequested_ && QueuesEmpty() && RunningWorkItems() == 0) break;
    wake_.wait(lock, [&] { return !QueuesEmpty() || (exitRequested_ && RunningWorkItems() == 0); });
  }
  JoinAllWorkItems();
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

void UiLoop::Wake() {
  // Taking the lock orders the wake-up after the waiter's predicate check.
  { std::lock_guard<std::mutex> lock(mutex_); }
  wake_.notify_all();
}

void UiLoop::Reset() {
  decltype(queues_) dropped;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    dropped.swap(queues_);
    exitRequested_ = false;
  }
}

}  // namespace Platform::Internal
