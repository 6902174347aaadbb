#include "platform/thread_pool.h"

#include <atomic>
#include <list>
#include <mutex>
#include <thread>

#include "ui_loop.h"

namespace Platform::Internal {
namespace {

// One thread per work item; finished threads are joined by the UI loop.
struct WorkItemThreads {
  std::mutex mutex;
  std::list<std::pair<std::thread, std::shared_ptr<std::atomic<bool>>>> threads;
  std::atomic<int> running{0};
};

WorkItemThreads& Threads() {
  static WorkItemThreads threads;
  return threads;
}

}  // namespace

int RunningWorkItems() { return Threads().running.load(); }

void JoinFinishedWorkItems() {
  auto& pool = Threads();
  std::list<std::pair<std::thread, std::shared_ptr<std::atomic<bool>>>> finished;
  {
    std::lock_guard<std::mutex> lock(pool.mutex);
    for (auto it = pool.threads.begin(); it != pool.threads.end();) {
      auto next = std::next(it);
      if (it->second->load()) finished.splice(finished.end(), pool.threads, it);
      it = next;
    }
  }
  for (auto& entry : finished) entry.first.join();
}

void JoinAllWorkItems() {
  auto& pool = Threads();
  std::list<std::pair<std::thread, std::shared_ptr<std::atomic<bool>>>> all;
  {
    std::lock_guard<std::mutex> lock(pool.mutex);
    all.swap(pool.threads);
  }
  for (auto& entry : all) entry.first.join();
}

}  // namespace Platform::Internal

namespace Windows::System::Threading {

std::shared_ptr<Windows::Foundation::IAsyncAction> ThreadPool::RunAsync(WorkItemHandler handler) {
  if (!handler) throw Platform::InvalidArgumentException(u"null work item");
  auto action = Platform::ref_new<Windows::Foundation::IAsyncAction>();
  auto done = std::make_shared<std::atomic<bool>>(false);
  auto& pool = Platform::Internal::Threads();
  std::lock_guard<std::mutex> lock(pool.mutex);
  ++pool.running;
  pool.threads.emplace_back(std::thread([action, done, handler = std::move(handler)]() mutable {
                              action->Finish(Platform::CallBoundary([&] { handler(action); }));
                              handler =
                                  nullptr;  // release what the work item holds before reporting
                              done->store(true);
                              --Platform::Internal::Threads().running;
                              Platform::Internal::UiLoop::Instance().Wake();
                            }),
                            done);
  return action;
}

}  // namespace Windows::System::Threading
