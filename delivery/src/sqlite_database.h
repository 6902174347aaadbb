// A thin RAII layer over the SQLite C interface: one connection, prepared
// statements, and failures raised as StoreError.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

namespace Delivery {

// A failure of the outbox on disk; what() holds SQLite's or the system's
// message. `unreadable` when the file is not a database or is damaged.
class StoreError : public std::runtime_error {
 public:
  StoreError(const std::string& what, bool unreadable = false)
      : std::runtime_error(what), unreadable(unreadable) {}
  const bool unreadable;
};

class Database {
 public:
  // Opens an existing file for reading and writing (":memory:": a database
  // in memory). No symbolic link is followed, for the database or its log
  // and shared-memory files. Throws StoreError.
  explicit Database(const std::string& path);
  ~Database();
  Database(const Database&) = delete;
  Database& operator=(const Database&) = delete;

  // While another connection writes, retry for up to `timeoutMs`, first
  // after a few microseconds (a writer holds the lock that briefly), then
  // less often; at once no longer once `giveUp` (when given) is true.
  void WaitWhenBusy(int timeoutMs, const std::atomic<bool>* giveUp = nullptr);

  // Keeps the write-ahead log near `bytes`: a commit that leaves a longer
  // log copies it into the database (which lets the next commit start the
  // log over), or, when `onLongLog` is given, calls it to have another
  // connection copy it; past twice the size the commit copies it itself and
  // waits for the other connections to allow a new start. A log started
  // over is cut back to `bytes` on disk. `onLongLog` must not wait.
  void LimitLog(std::int64_t bytes, std::function<void()> onLongLog = nullptr);

  // Whether this connection waits for the disk. Yes (SQLite's "NORMAL"): a
  // commit does not (it survives a crash of the process once it returns),
  // a checkpoint and the first commit into a log started over do, so that
  // a crash of the machine cannot make SQLite read old frames as new. No
  // ("OFF"): nothing this connection does waits for the disk but
  // Checkpoint(); a crash of the machine soon after it started the log over
  // may damage the database.
  void WaitForDisk(bool wait);

  void Exec(const std::string& sql);

  // Copies the log's committed frames into the database file without
  // waiting for other connections (a passive checkpoint), and waits for the
  // disk, whatever WaitForDisk said. Returns the
  // number of frames in the log; 0 when another connection is
  // checkpointing.
  int Checkpoint();
  // Copies the whole log into the database and cuts the log to nothing,
  // waiting (as WaitWhenBusy allows) for the other connections' reads and
  // writes. False when they kept it from finishing.
  bool EmptyLog();
  // Rows the last statement inserted, changed or deleted.
  std::int64_t Changes() const;
  // PRAGMA page_size.
  std::int64_t PageSize();
  // The first column of the first row of `sql`, as text ("" when no row).
  std::string QueryText(const std::string& sql);

  sqlite3* Handle() const { return db; }
  [[noreturn]] void Fail(int code, const std::string& doing) const;

 private:
  struct BusyWait {
    int timeoutMs = 0;
    const std::atomic<bool>* giveUp = nullptr;
  };
  static int OnCommit(void* database, sqlite3* db, const char* name, int frames);
  // Copies a log past twice its limit and starts it over, waiting up to the
  // busy timeout for a copy in progress on another connection.
  void CopyLongLog(const char* name) const;

  sqlite3* db = nullptr;
  BusyWait busyWait;
  bool waitsForDisk = true;
  std::function<void()> onLongLog;
  std::int64_t logLimitBytes = 0;
  std::int64_t pageSize = 0;
};

// A prepared statement, reused: Reset() after each use.
class Statement {
 public:
  Statement(Database& database, const char* sql);
  ~Statement();
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  // Text and blob values are not copied: they must stay unchanged until
  // the statement is reset.
  Statement& Bind(int index, std::int64_t value);
  Statement& BindText(int index, std::string_view value);
  Statement& BindBlob(int index, std::string_view value);
  // True when a row is ready, false when done. Throws StoreError.
  bool Step();
  std::int64_t Int(int column) const;
  bool IsNull(int column) const;
  std::string Text(int column) const;
  std::string Blob(int column) const;
  void Reset();

 private:
  Database& database;
  sqlite3_stmt* statement = nullptr;
};

// Runs Reset() on scope exit, so a failed step leaves the statement usable.
class StatementUse {
 public:
  explicit StatementUse(Statement& statement) : statement(statement) {}
  ~StatementUse() { statement.Reset(); }
  Statement* operator->() { return &statement; }

 private:
  Statement& statement;
};

}  // namespace Delivery
