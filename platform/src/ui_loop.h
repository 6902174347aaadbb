// The UI thread's message loop behind CoreDispatcher (internal to the
// stand-in). Handlers are queued from any thread and run on the thread bound
// as the UI thread, highest priority first, first in first out within one
// priority. After each handler the pending layout is flushed.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

namespace Platform::Internal {

class UiLoop {
 public:
  static UiLoop& Instance();

  void BindCurrentThread();
  void Unbind();
  bool IsUiThread() const;

  void Post(int priority, std::function<void()> handler);
  // Runs one queued handler; false when none was queued.
  bool RunOne();
  // Runs handlers until none is queued and no work item is running.
  void RunUntilIdle();
  // Runs handlers until the exit is requested and nothing is left: every
  // queued handler has run and every started work item has finished.
  void RunUntilExit();
  void RequestExit();
  bool ExitRequested() const;
  // Called when a work item finishes.
  void Wake();
  // Drops queued handlers and the exit request.
  void Reset();

 private:
  bool QueuesEmpty() const;

  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::map<int, std::deque<std::function<void()>>, std::greater<int>> queues_;
  bool exitRequested_ = false;
  std::thread::id uiThread_;
};

// Thread pool bookkeeping (thread_pool.cc).
int RunningWorkItems();
void JoinFinishedWorkItems();
void JoinAllWorkItems();

// Layout (ui_element.cc): reports the elements whose placement changed.
void FlushLayout();

}  // namespace Platform::Internal
