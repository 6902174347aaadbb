// The outbox on disk: one SQLite database in write-ahead-log mode with one
// row per request, oldest first, numbered in the outbox's stream; what left
// it undelivered, until the collector is told; the player's consent. Each
// OutboxStore is one connection, used by one thread at a time; several
// connections and processes may share the file. Connections of one process
// take turns to write through a mutex they share, so that one waiting for
// another is woken as soon as it is done.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "dropped_notice.h"
#include "outbox_folder.h"
#include "request_message.h"
#include "sqlite_database.h"

namespace Delivery {

struct Bounds {
  std::int64_t maxRequests = 10000;
  std::int64_t maxBytes = 50 * 1024 * 1024;
  std::int64_t maxAgeMs = 7LL * 24 * 3600 * 1000;
};

struct StoredRequest {
  std::int64_t id = 0;  // its number in the stream
  std::string key;
  OutgoingRequest request;
  int attempts = 0;
  std::int64_t nextAttemptMs = 0;
};

struct DroppedRequest {
  std::string key;
  std::string reason;  // "count", "bytes" or "age"
};

struct InsertResult {
  bool stored = false;                  // false: the player denied consent
  std::vector<DroppedRequest> dropped;  // over a bound, to make room
};

// The player's decision, as the outbox keeps it.
enum class Consent { Undecided = 0, Given = 1, Denied = 2 };

struct StreamState {
  std::string id;  // a random UUID, made with the outbox
  Consent consent = Consent::Undecided;
  bool gzipRefused = false;  // the collector answered 415 to a compressed request
  bool purgeOwed = false;    // a purge has not yet emptied the log and the free pages
  std::int64_t denials = 0;  // how often consent was denied
};

// The size a request counts against the byte bound.
std::int64_t RequestBytes(const OutgoingRequest& request);

// The size the write-ahead log is kept near: a commit that leaves it longer
// copies it into the database, and a log started over is cut back to it.
inline constexpr std::int64_t kLogLimitBytes = 4 << 20;

struct StoreOptions {
  std::int64_t maxPageCount = 0;  // > 0: the database cannot grow past it (a full disk, for tests)
  std::mutex* writers = nullptr;  // the mutex this process's connections write under
  // False skips the damage check (another connection has just made it); it
  // reads the whole file.
  bool checkFile = true;
  // Once true, a wait for another connection's lock gives up at once.
  const std::atomic<bool>* giveUp = nullptr;
};

class OutboxStore {
 public:
  static constexpr const char* kFileName = "outbox.sqlite";

  // Opens "<folder>/outbox.sqlite", creating the folder (0700) and the
  // database (0600) when missing (see PrepareOutboxFolder for the folders
  // it refuses). A database file that is not a database or is damaged, and
  // anything in place of its files that is not a usable file, is moved
  // aside (see MoveAside) and a fresh one started. Damage in the log that
  // loses requests is found (see FindLogDamage) when no other connection
  // uses the log, and a copy of the log kept. `notices` (may be null)
  // receives what was found. Throws StoreError.
  // `copyLog` given: the storing thread's connection. A commit that leaves
  // the log past kLogLimitBytes calls it (it must not wait) to have the log
  // copied elsewhere, and no commit waits for the disk (see
  // Database::WaitForDisk).
  OutboxStore(const std::string& folder, std::int64_t nowMs, std::vector<OutboxNotice>* notices,
              StoreOptions options = {}, std::function<void()> copyLog = nullptr);
  ~OutboxStore();

  // False once "<folder>/outbox.sqlite" is no longer the file this
  // connection has open (another connection moved it aside): a new
  // connection must be opened for the outbox now.
  bool IsCurrent() const;
  // IsCurrent's cheaper look, for a store's look before it writes: the name
  // in the folder this connection opened, without walking the path to it
  // (a folder since replaced under its name goes unnoticed here).
  bool LooksCurrent() const;

  // Stores a new request under the stream's next number, then drops the
  // oldest requests while the count or byte bound is exceeded; one
  // transaction. Stores nothing once the player denied consent. A dropped
  // request's number is kept to be reported (a rejected one's already is).
  // Throws StoreError (nothing stored, nothing dropped).
  InsertResult Insert(const std::string& key, const OutgoingRequest& request, std::int64_t nowMs,
                      const Bounds& bounds);
  // Drops the oldest requests while any bound is exceeded (the age bound
  // too), a few per transaction, so that no writer waits long.
  std::vector<DroppedRequest> DropOverBounds(std::int64_t nowMs, const Bounds& bounds);

  // The oldest request not set aside.
  std::optional<StoredRequest> OldestPending();
  // The request was delivered, and the collector has the ranges `told`
  // (taken from Unreported when it was sent): all of them are forgotten,
  // except numbers added to a range since.
  void Delivered(std::int64_t id, const std::vector<UnreportedRange>& told = {});
  void ScheduleRetry(std::int64_t id, int attempts, std::int64_t nextAttemptMs);
  // Sets a request aside as rejected: kept, never sent again, its number
  // kept to be reported.
  void SetAside(std::int64_t id, int attempts, int status, const std::string& reason);

  StreamState Stream();
  // The oldest ranges the collector has not acknowledged, at most `limit`.
  std::vector<UnreportedRange> Unreported(std::size_t limit = kMaxNoticeRanges);
  // The number the last request stored took (0 before any).
  std::int64_t LastSequence();
  // The collector does not take gzip: bodies go uncompressed from now on.
  void RefuseGzip();

  // Consent given: requests go out again.
  void GiveConsent();
  // Consent denied: every request is deleted (the numbers of those not set
  // aside kept to be reported as "consent" once consent is given), nothing
  // is stored from now on, then ClearPurged runs. Returns the requests
  // deleted.
  std::int64_t DenyConsent();
  // Rewrites the database without the free pages that may hold what was
  // deleted, and empties the log. False when other connections kept it from
  // finishing (it is owed until then, see StreamState::purgeOwed).
  bool ClearPurged();

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
    bool rejected;
    DroppedRequest request;
  };
  // The oldest request when a bound is exceeded (the age bound only when
  // `byAge`), with the bound's name.
  std::optional<Candidate> OverBound(std::int64_t nowMs, const Bounds& bounds, bool byAge);
  std::unique_lock<std::mutex> WriteTurn();
  void DeleteRow(std::int64_t id);
  // Removes a request over a bound, its number kept to be reported.
  void Drop(const Candidate& candidate);
  // Adds `number` to the ranges to report under `reason`.
  void AddUnreported(const std::string& reason, std::int64_t number);
  // Ends or shortens the ranges the collector has acknowledged.
  void Forget(const std::vector<UnreportedRange>& told);
  // A damaged log lost transactions: their numbers are never given again,
  // and reported as damaged.
  void SkipLostNumbers(std::int64_t lost);

  class Registration;

  std::string path;
  int folderFd = -1;  // the folder, for LooksCurrent; -1 when it could not be opened
  FileIdentity identity;
  std::unique_ptr<Registration> registration;  // before the database: released after it
  std::unique_ptr<Database> database;
  std::unique_ptr<Statements> statements;
  std::int64_t pageSize = 0;
  std::mutex* writers;
};

}  // namespace Delivery
