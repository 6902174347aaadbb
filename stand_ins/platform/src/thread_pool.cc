#include "platform/thread_pool.h"

#include <atomic>
#include <chrono>
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

  void Patience(std::chrono::milliseconds patience) {
    std::lock_guard<std::mutex> lock(mutex_);
    patience_ = patience;
  }

  // Drops the unstarted items and waits, at most the patience, for the
  // running ones. Workers still running an item then are left to finish it
  // on their own: they take no more items and report nothing.
  WorkerPoolEnd ShutDown() {
    WorkerPoolEnd end;
    std::deque<std::function<void()>> dropped;
    std::vector<std::thread> workers;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      state_ = State::Stopped;
      dropped.swap(queue_);
      pending_ -= static_cast<int>(dropped.size());
      wake_.notify_all();
      finished_.wait_for(lock, patience_, [&] { return running_ == 0; });
      end.abandoned = static_cast<std::size_t>(running_);
      if (running_ > 0) {
        pending_ -= running_;
        running_ = 0;
        ++generation_;
      }
      workers.swap(workers_);
    }
    for (auto& worker : workers) {
      if (end.abandoned > 0) {
        worker.detach();
      } else {
        worker.join();
      }
    }
    end.dropped = dropped.size();
    return end;  // the unstarted items, and what they hold, go here
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
    for (int i = 0; i < kWorkers; ++i)
      workers_.emplace_back([this, generation = generation_] { Work(generation); });
  }

  void Work(unsigned generation) {
    Trace::NameCurrentThread("pool");
    for (;;) {
      std::function<void()> item;
      {
        std::unique_lock<std::mutex> lock(mutex_);
        wake_.wait(lock, [&] {
          return state_ == State::Stopped || generation != generation_ || !queue_.empty();
        });
        if (state_ == State::Stopped || generation != generation_) return;
        item = std::move(queue_.front());
        queue_.pop_front();
        ++running_;
      }
      item();
      item = nullptr;  // release what the work item holds before reporting
      {
        std::lock_guard<std::mutex> lock(mutex_);
        if (generation != generation_) return;  // abandoned: the pool has moved on
        --running_;
        --pending_;
      }
      finished_.notify_all();
      UiLoop::Instance().Wake();
    }
  }

  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable finished_;
  std::deque<std::function<void()>> queue_;
  std::vector<std::thread> workers_;
  State state_ = State::Idle;
  unsigned generation_ = 0;
  int running_ = 0;
  std::chrono::milliseconds patience_ = kDefaultWorkItemPatience;
  std::atomic<int> pending_{0};
};

// Never destroyed: a worker left running an item may still use it.
WorkerPool& Pool() {
  static WorkerPool* const pool = new WorkerPool;
  return *pool;
}

}  // namespace

void StartWorkerPool() { Pool().Start(); }
int PendingWorkItems() { return Pool().Pending(); }
WorkerPoolEnd ShutDownWorkerPool() { return Pool().ShutDown(); }
void SetWorkItemPatience(std::chrono::milliseconds patience) { Pool().Patience(patience); }
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
