#include "program/close_on_signals.h"

#include <pthread.h>

#include <csignal>

#include "platform/stand_in/stand_in.h"

namespace Corvane {
namespace {

sigset_t ClosingSignals() {
  sigset_t signals;
  sigemptyset(&signals);
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&signals, signal);
  return signals;
}

[[noreturn]] void EndBy(int signal) {
  std::signal(signal, SIG_DFL);
  const sigset_t signals = ClosingSignals();
  pthread_sigmask(SIG_UNBLOCK, &signals, nullptr);
  raise(signal);
  _exit(128 + signal);
}

}  // namespace

CloseOnSignals::CloseOnSignals() {
  const sigset_t signals = ClosingSignals();
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  thread_ = std::thread([this] { Wait(); });
}

// The thread is woken by a signal of its own.
CloseOnSignals::~CloseOnSignals() {
  stopping_ = true;
  pthread_kill(thread_.native_handle(), SIGTERM);
  thread_.join();
}

void CloseOnSignals::Wait() {
  const sigset_t signals = ClosingSignals();
  for (;;) {
    int signal = 0;
    if (sigwait(&signals, &signal) != 0) continue;
    if (stopping_) return;
    if (closing_.load() != 0) EndBy(signal);
    closing_ = signal;
    Platform::StandIn::CloseWindow();
  }
}

}  // namespace Corvane
