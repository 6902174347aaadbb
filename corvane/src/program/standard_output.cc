#include "program/standard_output.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <mutex>

namespace Corvane {
namespace {

std::atomic<bool> failed{false};
std::mutex failureMutex;
std::function<void()> failureHandler;

// A closed pipe ends the program as SIGPIPE ends other tools, whatever
// disposition the program inherited.
[[noreturn]] void EndForClosedPipe() {
  std::signal(SIGPIPE, SIG_DFL);
  sigset_t pipe;
  sigemptyset(&pipe);
  sigaddset(&pipe, SIGPIPE);
  pthread_sigmask(SIG_UNBLOCK, &pipe, nullptr);
  raise(SIGPIPE);
  _exit(128 + SIGPIPE);
}

bool Failed(int error) {
  if (error == EPIPE) EndForClosedPipe();
  if (failed.exchange(true)) return false;
  std::fprintf(stderr, "corvane: cannot write to standard output: %s\n", std::strerror(error));
  std::function<void()> handler;
  {
    std::lock_guard<std::mutex> lock(failureMutex);
    handler = failureHandler;
  }
  if (handler) handler();
  return false;
}

}  // namespace

void EnsureStandardDescriptors() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    // The lowest free descriptor: this one.
    const int opened = open("/dev/null", O_RDWR);
    if (opened != fd && opened >= 0) close(opened);
  }
}

bool WriteStandardOutput(std::string_view text) {
  if (failed) return false;
  if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() || std::fflush(stdout) != 0)
    return Failed(errno);
  return true;
}

void OnStandardOutputFailure(std::function<void()> onFailure) {
  std::lock_guard<std::mutex> lock(failureMutex);
  failureHandler = std::move(onFailure);
}

bool FlushStandardOutput() {
  if (failed) return false;
  errno = 0;
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) return Failed(errno != 0 ? errno : EIO);
  return true;
}

bool StandardOutputFailed() { return failed; }

}  // namespace Corvane
