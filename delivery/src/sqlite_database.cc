#include "sqlite_database.h"

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <thread>

namespace Delivery {

Database::Database(const std::string& path) {
  int code =
      sqlite3_open_v2(path.c_str(), &db,
                      SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_NOFOLLOW, nullptr);
  if (code != SQLITE_OK) {
    const int primary = code & 0xff;
    std::string message = db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(code);
    sqlite3_close_v2(db);
    throw StoreError("cannot open " + path + ": " + message,
                     primary == SQLITE_NOTADB || primary == SQLITE_CORRUPT);
  }
  sqlite3_extended_result_codes(db, 1);
}

Database::~Database() { sqlite3_close_v2(db); }

void Database::Fail(int code, const std::string& doing) const {
  const int primary = code & 0xff;
  std::string message =
      db != nullptr && sqlite3_errcode(db) != SQLITE_OK ? sqlite3_errmsg(db) : sqlite3_errstr(code);
  throw StoreError(doing + ": " + message, primary == SQLITE_NOTADB || primary == SQLITE_CORRUPT);
}

void Database::WaitWhenBusy(int timeoutMs, const std::atomic<bool>* giveUp) {
  busyWait = {timeoutMs, giveUp};
  sqlite3_busy_handler(
      db,
      [](void* context, int tries) -> int {
        const auto* wait = static_cast<const BusyWait*>(context);
        if (wait->giveUp != nullptr && wait->giveUp->load()) return 0;
        const int timeoutUs = wait->timeoutMs * 1000;
        // 20 us, doubling up to 5 ms; the sum of the waits so far decides.
        const int waitUs = std::min(20 << std::min(tries, 8), 5000);
        const long long waitedUs =
            tries <= 8 ? (20LL << tries) - 20 : 5100LL + (tries - 8) * 5000LL;
        if (waitedUs >= timeoutUs) return 0;
        std::this_thread::sleep_for(std::chrono::microseconds(waitUs));
        return 1;
      },
      &busyWait);
}

void Database::LimitLog(std::int64_t bytes, std::function<void()> onLongLog) {
  this->onLongLog = std::move(onLongLog);
  logLimitBytes = bytes;
  pageSize = PageSize();
  Exec("PRAGMA journal_size_limit = " + std::to_string(bytes));
  sqlite3_wal_hook(db, OnCommit, this);
}

int Database::OnCommit(void* database, sqlite3* db, const char* name, int frames) {
  const auto* self = static_cast<const Database*>(database);
  const std::int64_t bytes = static_cast<std::int64_t>(frames) * self->pageSize;
  if (bytes < self->logLimitBytes) return SQLITE_OK;
  if (bytes >= 2 * self->logLimitBytes) {
    self->CopyLongLog(name);
  } else if (self->onLongLog) {
    self->onLongLog();
  } else {
    sqlite3_wal_checkpoint_v2(db, name, SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr);
  }
  return SQLITE_OK;  // busy: the next commit tries again
}

void Database::CopyLongLog(const char* name) const {
  // Another connection's copy holds the checkpoint lock and cannot start
  // the log over while stores keep adding to it: wait for it to end, as for
  // a lock, then copy and start over here.
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(busyWait.timeoutMs);
  while ((sqlite3_wal_checkpoint_v2(db, name, SQLITE_CHECKPOINT_RESTART, nullptr, nullptr) &
          0xff) == SQLITE_BUSY &&
         std::chrono::steady_clock::now() < end &&
         !(busyWait.giveUp != nullptr && busyWait.giveUp->load())) {
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
}

std::int64_t Database::PageSize() { return std::stoll(QueryText("PRAGMA page_size")); }

void Database::Exec(const std::string& sql) {
  int code = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr);
  if (code != SQLITE_OK) Fail(code, "outbox");
}

void Database::WaitForDisk(bool wait) {
  Exec(wait ? "PRAGMA synchronous = NORMAL" : "PRAGMA synchronous = OFF");
  waitsForDisk = wait;
}

int Database::Checkpoint() {
  if (!waitsForDisk) Exec("PRAGMA synchronous = NORMAL");
  int frames = 0, copied = 0;
  int code = sqlite3_wal_checkpoint_v2(db, nullptr, SQLITE_CHECKPOINT_PASSIVE, &frames, &copied);
  if (!waitsForDisk) Exec("PRAGMA synchronous = OFF");
  if ((code & 0xff) == SQLITE_BUSY) return 0;
  if (code != SQLITE_OK) Fail(code, "outbox");
  return frames;
}

bool Database::EmptyLog() {
  int frames = 0, copied = 0;
  const int code =
      sqlite3_wal_checkpoint_v2(db, nullptr, SQLITE_CHECKPOINT_TRUNCATE, &frames, &copied);
  if ((code & 0xff) == SQLITE_BUSY) return false;
  if (code != SQLITE_OK) Fail(code, "outbox");
  return true;
}

std::int64_t Database::Changes() const { return sqlite3_changes64(db); }

std::string Database::QueryText(const std::string& sql) {
  Statement query(*this, sql.c_str());
  return query.Step() ? query.Text(0) : "";
}

Statement::Statement(Database& database, const char* sql) : database(database) {
  int code = sqlite3_prepare_v3(database.Handle(), sql, -1, SQLITE_PREPARE_PERSISTENT, &statement,
                                nullptr);
  if (code != SQLITE_OK) database.Fail(code, "outbox");
}

Statement::~Statement() { sqlite3_finalize(statement); }

Statement& Statement::Bind(int index, std::int64_t value) {
  sqlite3_bind_int64(statement, index, value);
  return *this;
}

Statement& Statement::BindText(int index, std::string_view value) {
  sqlite3_bind_text(statement, index, value.empty() ? "" : value.data(),
                    static_cast<int>(value.size()), SQLITE_STATIC);
  return *this;
}

Statement& Statement::BindBlob(int index, std::string_view value) {
  // A zero-length blob is bound as such, never as NULL.
  sqlite3_bind_blob(statement, index, value.empty() ? "" : value.data(),
                    static_cast<int>(value.size()), SQLITE_STATIC);
  return *this;
}

bool Statement::Step() {
  int code = sqlite3_step(statement);
  if (code == SQLITE_ROW) return true;
  if (code == SQLITE_DONE) return false;
  database.Fail(code, "outbox");
}

std::int64_t Statement::Int(int column) const { return sqlite3_column_int64(statement, column); }

bool Statement::IsNull(int column) const {
  return sqlite3_column_type(statement, column) == SQLITE_NULL;
}

std::string Statement::Text(int column) const {
  const auto* text = sqlite3_column_text(statement, column);
  return text ? std::string(reinterpret_cast<const char*>(text),
                            static_cast<std::size_t>(sqlite3_column_bytes(statement, column)))
              : std::string();
}

std::string Statement::Blob(int column) const {
  const void* data = sqlite3_column_blob(statement, column);
  return data ? std::string(static_cast<const char*>(data),
                            static_cast<std::size_t>(sqlite3_column_bytes(statement, column)))
              : std::string();
}

void Statement::Reset() {
  sqlite3_reset(statement);
  sqlite3_clear_bindings(statement);
}

}  // namespace Delivery
