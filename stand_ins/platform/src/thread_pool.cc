#include "platform/thread_pool.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/stand_in/trace.h"
#include "ui_loop.h"

namespace Platform::Internal {
namespace {

// Enough for the host's one work item per page beside anything a test
// queues; the workers wait for items from the application's start on.
constexpr int kWorkers = 2;

class WorkerPool {
 public:
  ~WorkerPool() { ShutDown(); }

  void Start() {
    std::lock_guard<std::mutex> lock(mutex_);
    StartLocked();
  }

  // False once the pool has been shut down.
  bool Submit(std::function<void()> item) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (state_ == State::Stopped) return false;
      StartLocked();
      queue_.push_back(std::move(item));
      ++pending_;
    }
    wake_.notify_one();
    return true;
  }

  int Pending() const { return pending_.load(); }

  std::size_t ShutDown() {
    std::deque<std::function<void()>> dropped;
    std::vector<std::thread> workers;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      state_ = State::Stopped;
      dropped.swap(queue_);
      pending_ -= static_cast<int>(dropped.size());
      workers.swap(workers_);
    }
    wake_.notify_all();
    for (auto& worker : workers) worker.join();
    return dropped.size();  // the unstarted items, and what they hold, go here
  }

  void Reset() {
    ShutDown();
    std::lock_guard<std::mutex> lock(mutex_);
    state_ = State::Idle;
  }

 private:
  enum class State { Idle, Running, Stopped };

  void StartLocked() {
    if (state_ != State::Idle) return;
    state_ = State::Running;
    for (int i = 0; i < kWorkers; ++i) workers_.emplace_back([this] { Work(); });
  }

  void Work() {
    Trace::NameCurrentThread("pool");
    for (;;) {
      std::function<void()> item;
      {
        std::unique_lock<std::mutex> lock(mutex_);
        wake_.wait(lock, [&] { return state_ == State::Stopped || !queue_.empty(); });
        if (queue_.empty()) return;  // stopped
        item = std::move(queue_.front());
        queue_.pop_front();
      }
      item();
      item = nullptr;  // release what the work item holds before reporting
      --pending_;
      UiLoop::Instance().Wake();
    }
  }

  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::function<void()>> queue_;
  std::vector<std::thread> workers_;
  State state_ = State::Idle;
  std::atomic<int> pending_{0};
};

WorkerPool& Pool() {
  static WorkerPool pool;
  return pool;
}

}  // namespace

void StartWorkerPool() { Pool().Start(); }
int PendingWorkItems() { return Pool().Pending(); }
std::size_t ShutDownWorkerPool() { return Pool().ShutDown(); }
void ResetWorkerPool() { Pool().Reset(); }

}  // namespace Platform::Internal

namespace Windows::System::Threading {

std::shared_ptr<Windows::Foundation::IAsyncAction> ThreadPool::RunAsync(WorkItemHandler handler) {
  if (!handler) throw Platform::InvalidArgumentException(u"null work item");
  auto action = Platform::ref_new<Windows::Foundation::IAsyncAction>();
  Platform::Internal::Pool().Submit([action, handler = std::move(handler)]() mutable {
    action->Finish(Platform::CallBoundary([&] { handler(action); }));
  });
  return action;
}

}  // namespace Windows::System::Threading
