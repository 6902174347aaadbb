// Copies the outbox's write-ahead log into its database on a thread of the
// library's own when a store has left the log long, so that the thread that
// stores (the game's) never copies it, and never waits for the disk.
#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "outbox_store.h"

namespace Delivery {

class LogCopier {
 public:
  // `open` opens a connection to the outbox as it is now (throws
  // StoreError); called on the copier's thread, again once the file it has
  // open is no longer the outbox's. The thread starts at the first request:
  // an outbox whose sender's copies keep up never has one.
  explicit LogCopier(std::function<std::unique_ptr<OutboxStore>()> open);
  ~LogCopier();  // Stop()
  LogCopier(const LogCopier&) = delete;
  LogCopier& operator=(const LogCopier&) = delete;

  // Asks for a copy soon. Never waits (SQLite calls it inside a commit),
  // though the first request starts the thread.
  void Request();
  // Ends the thread once a copy in progress is done; later requests are
  // ignored.
  void Stop();

 private:
  void Run();
  void Copy(std::unique_ptr<OutboxStore>& store);

  const std::function<std::unique_ptr<OutboxStore>()> open;
  std::atomic<bool> requested{false};
  std::mutex mutex;
  std::condition_variable wake;
  bool stopping = false;
  std::thread thread;  // started by the first request
};

}  // namespace Delivery
