// The UI thread's message loop behind CoreDispatcher (internal to the
// stand-in). Handlers are queued from any thread and run on the thread bound
// as the UI thread, highest priority first, first in first out within one
// priority. After each handler the pending layout is flushed. Once the exit
// is requested the loop runs nothing more; what is still queued waits to be
// dropped by the application's end.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

namespace Platform::Internal {

class UiLoop {
 public:
  static UiLoop& Instance();

  // The calling thread becomes the UI thread (named "ui" in the trace).
  void BindCurrentThread();
  void Unbind();
  bool IsUiThread() const;

  void Post(int priority, std::function<void()> handler);
  // Runs one queued handler; false when none was queued or the exit is
  // requested.
  bool RunOne();
  // Runs handlers until none is queued and no work item is pending, or
  // until the exit is requested.
  void RunUntilIdle();
  // Runs handlers, waiting for more, until `done` answers true (checked
  // after each handler and every few milliseconds), the exit is requested
  // or `deadline` passes. Returns what `done` answers at the end.
  bool RunUntil(const std::function<bool()>& done, std::chrono::steady_clock::time_point deadline);
  // Runs handlers, waiting for more, until the exit is requested.
  void RunUntilExit();
  void RequestExit();
  bool ExitRequested() const;
  // True while a handler runs or waits, or a work item is pending: the
  // application is doing something a player could see.
  bool Busy() const;
  // Called when a work item finishes.
  void Wake();
  // Drops the queued handlers (on the calling thread); returns how many.
  std::size_t DropQueued();
  // Drops queued handlers and the exit request.
  void Reset();

 private:
  bool QueuesEmpty() const;

  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::map<int, std::deque<std::function<void()>>, std::greater<int>> queues_;
  bool exitRequested_ = false;
  bool running_ = false;  // a handler (and its layout pass) is running
  std::thread::id uiThread_;
};

// Thread pool bookkeeping (thread_pool.cc): the pool's workers start with
// the application; at its end the items not yet started are dropped and
// the running ones get the patience to finish (an item that blocks, on a
// file or on anything else, does not hold up the end).
inline constexpr std::chrono::milliseconds kDefaultWorkItemPatience{2000};
void StartWorkerPool();
int PendingWorkItems();
struct WorkerPoolEnd {
  std::size_t dropped = 0;    // queued items dropped unstarted
  std::size_t abandoned = 0;  // running items left behind after the patience
};
// Stops the workers.
WorkerPoolEnd ShutDownWorkerPool();
void SetWorkItemPatience(std::chrono::milliseconds patience);
// Back to the state of a new process (workers start again on demand).
void ResetWorkerPool();

// Layout (ui_element.cc): reports the elements whose placement changed,
// then tells a composition observer that the tree may have changed.
void FlushLayout();

}  // namespace Platform::Internal
