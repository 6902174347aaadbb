// The outbox on disk: one SQLite database in write-ahead-log mode with one
// row per request, oldest first. Each OutboxStore is one connection, used by
// one thread at a time; several connections and processes may share the
// file. Connections of one process take turns to write through a mutex they
// share, so that one waiting for another is woken as soon as it is done.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "request_message.h"
#include "sqlite_database.h"

namespace Delivery {

struct Bounds {
  std::int64_t maxRequests = 10000;
  std::int64_t maxBytes = 50 * 1024 * 1024;
  std::int64_t maxAgeMs = 7LL * 24 * 3600 * 1000;
};

struct StoredRequest {
  std::int64_t id = 0;
  std::string key;
  OutgoingRequest request;
  int attempts = 0;
  std::int64_t nextAttemptMs = 0;
};

struct DroppedRequest {
  std::string key;
  std::string reason;  // "count", "bytes" or "age"
};

// The size a request counts against the byte bound.
std::int64_t RequestBytes(const OutgoingRequest& request);

class OutboxStore {
 public:
  static constexpr const char* kFileName = "outbox.sqlite";

  // Opens "<folder>/outbox.sqlite", creating the folder (0700) and the
  // database (0600) when missing. A file that is not a database or is
  // damaged is moved aside (see MoveAside) and a fresh one started; then
  // `movedTo` receives where it went. `maxPageCount` > 0 limits the
  // database's size (a full disk, for tests). `writers`, when given, is
  // the mutex this process's connections write under. `checkFile` false
  // skips the damage check (another connection has just made it); it reads
  // the whole file. Throws StoreError.
  OutboxStore(const std::string& folder, std::int64_t nowMs, std::string* movedTo,
              std::int64_t maxPageCount = 0, std::mutex* writers = nullptr, bool checkFile = true);
  ~OutboxStore();

  // Stores a new request, then drops the oldest requests while the count
  // or byte bound is exceeded; one transaction. Returns what was dropped.
  // Throws StoreError (nothing stored, nothing dropped).
  std::vector<DroppedRequest> Insert(const std::string& key, const OutgoingRequest& request,
                                     std::int64_t nowMs, const Bounds& bounds);
  // Drops the oldest requests while any bound is exceeded (the age bound
  // too), a few per transaction, so that no writer waits long.
  std::vector<DroppedRequest> DropOverBounds(std::int64_t nowMs, const Bounds& bounds);

  // The oldest request not set aside.
  std::optional<StoredRequest> OldestPending();
  void Delete(std::int64_t id);
  void ScheduleRetry(std::int64_t id, int attempts, std::int64_t nextAttemptMs);
  // Sets a request aside as rejected: kept, never sent again.
  void SetAside(std::int64_t id, int attempts, int status, const std::string& reason);

  std::int64_t Pending();
  std::int64_t Rejected();

  // Copies what the log holds into the database, without waiting for
  // other connections. Returns the size of the log (it starts over at the
  // first write after a checkpoint that copied all of it).
  std::int64_t Checkpoint();

 private:
  struct Statements;
  class Transaction;
  struct Candidate {
    std::int64_t id;
    DroppedRequest request;
  };
  // The oldest request when a bound is exceeded (the age bound only when
  // `byAge`), with the bound's name.
  std::optional<Candidate> OverBound(std::int64_t nowMs, const Bounds& bounds, bool byAge);
  std::unique_lock<std::mutex> WriteTurn();
  void DeleteRow(std::int64_t id);

  std::unique_ptr<Database> database;
  std::unique_ptr<Statements> statements;
  std::int64_t pageSize = 0;
  std::mutex* writers;
};

}  // namespace Delivery
