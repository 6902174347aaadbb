#include "log_copier.h"

#include <pthread.h>
#include <sched.h>

#include <system_error>

namespace Delivery {

LogCopier::LogCopier(std::function<std::unique_ptr<OutboxStore>()> open) : open(std::move(open)) {}

LogCopier::~LogCopier() { Stop(); }

void LogCopier::Request() {
  if (requested.exchange(true)) return;     // one wake-up per copy
  std::lock_guard<std::mutex> lock(mutex);  // so that the wake-up cannot come too early
  if (stopping) return;
  if (!thread.joinable()) {
    try {
      thread = std::thread([this] { Run(); });
    } catch (const std::system_error&) {
      requested = false;  // asked again by the next commit; past twice the limit it copies itself
      return;
    }
  }
  wake.notify_one();
}

void LogCopier::Stop() {
  {
    std::lock_guard<std::mutex> lock(mutex);
    stopping = true;
  }
  wake.notify_one();
  if (thread.joinable()) thread.join();
}

void LogCopier::Run() {
  // Background work, like the sender's: never preempts the storing thread.
  const sched_param batch{};
  pthread_setschedparam(pthread_self(), SCHED_BATCH, &batch);
  std::unique_ptr<OutboxStore> store;
  for (;;) {
    {
      std::unique_lock<std::mutex> lock(mutex);
      wake.wait(lock, [this] { return stopping || requested.load(); });
      if (stopping) return;
    }
    requested = false;  // a commit from here on asks again
    Copy(store);
  }
}

void LogCopier::Copy(std::unique_ptr<OutboxStore>& store) {
  try {
    if (store && !store->IsCurrent()) store.reset();
    if (!store) store = open();
    store->Checkpoint();
  } catch (const StoreError&) {
    store.reset();  // opened again at the next request; the storing thread copies past the limit
  }
}

}  // namespace Delivery
