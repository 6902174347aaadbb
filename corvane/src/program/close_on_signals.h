// SIGINT, SIGTERM and SIGHUP as the user closing the window: while an
// object of this class lives, the first of them closes the application's
// window (Platform::StandIn::CloseWindow), so the application ends the way
// the platform ends it; a second one ends the program at once, by that
// signal's default action. The signals are blocked in the calling thread
// and in every thread it starts afterwards, and taken by a thread of this
// class: make the object before any other thread is started.
#pragma once

#include <atomic>
#include <thread>

namespace Corvane {

class CloseOnSignals {
 public:
  CloseOnSignals();
  ~CloseOnSignals();
  CloseOnSignals(const CloseOnSignals&) = delete;
  CloseOnSignals& operator=(const CloseOnSignals&) = delete;

  // The signal that closed the window; 0 when none did.
  int ClosingSignal() const { return closing_.load(); }

 private:
  void Wait();

  std::atomic<int> closing_{0};
  std::atomic<bool> stopping_{false};
  std::thread thread_;
};

}  // namespace Corvane
