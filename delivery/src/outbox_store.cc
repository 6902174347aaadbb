#include "outbox_store.h"

#include "log_write_vfs.h"
#include "outbox_folder.h"

namespace Delivery {
namespace {

// Rows DropOverBounds deletes per transaction: a writer waiting behind it
// waits for a few rows, however many are over a bound.
constexpr int kDropsPerTransaction = 16;

// Few pages change per stored request (the row's and the one-row "totals",
// which triggers keep up to date, so that a bound check or a pending count
// costs no scan): no AUTOINCREMENT, no secondary index. The keys are
// random, so they need no unique index either.
constexpr const char* kSchema = R"(
CREATE TABLE IF NOT EXISTS requests(
  id INTEGER PRIMARY KEY,
  key TEXT NOT NULL,
  target TEXT NOT NULL,
  headers TEXT NOT NULL,
  body BLOB NOT NULL,
  bytes INTEGER NOT NULL,
  created_ms INTEGER NOT NULL,
  attempts INTEGER NOT NULL DEFAULT 0,
  next_attempt_ms INTEGER NOT NULL DEFAULT 0,
  rejected INTEGER NOT NULL DEFAULT 0,
  status INTEGER NOT NULL DEFAULT 0,
  reason TEXT NOT NULL DEFAULT '');
CREATE TABLE IF NOT EXISTS totals(
  one INTEGER PRIMARY KEY CHECK(one = 1),
  count INTEGER NOT NULL,
  bytes INTEGER NOT NULL,
  rejected INTEGER NOT NULL);
INSERT OR IGNORE INTO totals VALUES(1, 0, 0, 0);
CREATE TRIGGER IF NOT EXISTS request_added AFTER INSERT ON requests BEGIN
  UPDATE totals SET count = count + 1, bytes = bytes + NEW.bytes;
END;
CREATE TRIGGER IF NOT EXISTS request_removed AFTER DELETE ON requests BEGIN
  UPDATE totals SET count = count - 1, bytes = bytes - OLD.bytes, rejected = rejected - OLD.rejected;
END;
CREATE TRIGGER IF NOT EXISTS request_set_aside AFTER UPDATE OF rejected ON requests BEGIN
  UPDATE totals SET rejected = rejected - OLD.rejected + NEW.rejected;
END;
)";

std::string JoinLines(const std::vector<std::string>& lines) {
  std::string joined;
  for (const std::string& line : lines) joined += (joined.empty() ? "" : "\n") + line;
  return joined;
}

std::vector<std::string> SplitLines(const std::string& joined) {
  std::vector<std::string> lines;
  for (std::size_t start = 0; start < joined.size();) {
    std::size_t end = joined.find('\n', start);
    if (end == std::string::npos) end = joined.size();
    lines.push_back(joined.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

std::unique_ptr<Database> OpenDatabase(const std::string& path, std::int64_t maxPageCount,
                                       bool checkFile) {
  MakeOwnerOnlyFile(path);
  auto database = std::make_unique<Database>(path, LogWriteVfsName());
  database->WaitWhenBusy(1000);
  if (database->QueryText("PRAGMA journal_mode = WAL") != "wal") {
    throw StoreError("cannot switch " + path + " to write-ahead logging");
  }
  // In WAL mode a committed transaction survives a crash of the process.
  database->Exec("PRAGMA synchronous = NORMAL");
  // No commit copies the log into the database (which syncs the disk, and
  // would happen in the turn to write): the sender does it between its
  // steps, see Checkpoint.
  database->Exec("PRAGMA wal_autocheckpoint = 0");
  if (maxPageCount > 0) database->Exec("PRAGMA max_page_count = " + std::to_string(maxPageCount));
  if (checkFile) {
    std::string check = database->QueryText("PRAGMA quick_check");
    if (check != "ok") throw StoreError(path + " is damaged: " + check, /*unreadable=*/true);
  }
  database->Exec(kSchema);
  return database;
}

}  // namespace

struct OutboxStore::Statements {
  explicit Statements(Database& db)
      : begin(db, "BEGIN IMMEDIATE"),
        commit(db, "COMMIT"),
        rollback(db, "ROLLBACK"),
        insert(db,
               "INSERT INTO requests(key, target, headers, body, bytes, created_ms) "
               "VALUES(?, ?, ?, ?, ?, ?)"),
        totals(db, "SELECT count, bytes FROM totals"),
        oldest(db, "SELECT id, key, created_ms FROM requests ORDER BY id LIMIT 1"),
        oldestPending(db,
                      "SELECT id, key, target, headers, body, attempts, next_attempt_ms "
                      "FROM requests WHERE rejected = 0 ORDER BY id LIMIT 1"),
        remove(db, "DELETE FROM requests WHERE id = ?"),
        retry(db, "UPDATE requests SET attempts = ?, next_attempt_ms = ? WHERE id = ?"),
        setAside(db,
                 "UPDATE requests SET rejected = 1, attempts = ?, status = ?, reason = ? "
                 "WHERE id = ?"),
        rejected(db, "SELECT rejected FROM totals"),
        pending(db, "SELECT count - rejected FROM totals") {}
  Statement begin, commit, rollback, insert, totals, oldest, oldestPending, remove, retry, setAside,
      rejected, pending;
};

// A write transaction in this process's turn, rolled back unless committed.
class OutboxStore::Transaction {
 public:
  explicit Transaction(OutboxStore& store)
      : turn(store.WriteTurn()), statements(*store.statements) {
    StatementUse(statements.begin)->Step();
  }
  ~Transaction() {
    if (committed) return;
    try {
      StatementUse(statements.rollback)->Step();
    } catch (const StoreError&) {
      // SQLite already rolled back (after a full disk, say).
    }
  }
  void Commit() {
    StatementUse(statements.commit)->Step();
    committed = true;
  }

 private:
  std::unique_lock<std::mutex> turn;
  Statements& statements;
  bool committed = false;
};

std::int64_t RequestBytes(const OutgoingRequest& request) {
  std::int64_t bytes = static_cast<std::int64_t>(request.body.size() + request.target.size());
  for (const std::string& line : request.headers) bytes += static_cast<std::int64_t>(line.size());
  return bytes;
}

OutboxStore::OutboxStore(const std::string& folder, std::int64_t nowMs, std::string* movedTo,
                         std::int64_t maxPageCount, std::mutex* writers, bool checkFile)
    : writers(writers) {
  MakeOwnerOnlyFolder(folder);
  const std::string path = folder + "/" + kFileName;
  try {
    database = OpenDatabase(path, maxPageCount, checkFile);
  } catch (const StoreError& error) {
    if (!error.unreadable) throw;
    std::string aside = MoveAside(path, nowMs);
    if (movedTo) *movedTo = aside;
    database = OpenDatabase(path, maxPageCount, /*checkFile=*/true);
  }
  statements = std::make_unique<Statements>(*database);
  pageSize = std::stoll(database->QueryText("PRAGMA page_size"));
}

OutboxStore::~OutboxStore() = default;

std::unique_lock<std::mutex> OutboxStore::WriteTurn() {
  return writers ? std::unique_lock<std::mutex>(*writers) : std::unique_lock<std::mutex>();
}

std::vector<DroppedRequest> OutboxStore::Insert(const std::string& key,
                                                const OutgoingRequest& request, std::int64_t nowMs,
                                                const Bounds& bounds) {
  const std::string headers = JoinLines(request.headers);
  Transaction transaction(*this);
  {
    StatementUse insert(statements->insert);
    insert->BindText(1, key)
        .BindText(2, request.target)
        .BindText(3, headers)
        .BindBlob(4, request.body)
        .Bind(5, RequestBytes(request))
        .Bind(6, nowMs)
        .Step();
  }
  // The age bound is the sender's (DropOverBounds), so that a store reads
  // no more than it must.
  std::vector<DroppedRequest> dropped;
  while (std::optional<Candidate> oldest = OverBound(nowMs, bounds, /*byAge=*/false)) {
    DeleteRow(oldest->id);
    dropped.push_back(oldest->request);
  }
  transaction.Commit();
  return dropped;
}

std::vector<DroppedRequest> OutboxStore::DropOverBounds(std::int64_t nowMs, const Bounds& bounds) {
  std::vector<DroppedRequest> dropped;
  // Read first: the write lock is taken only when there is something to drop.
  while (OverBound(nowMs, bounds, /*byAge=*/true)) {
    Transaction transaction(*this);
    for (int n = 0; n < kDropsPerTransaction; ++n) {
      std::optional<Candidate> oldest = OverBound(nowMs, bounds, /*byAge=*/true);
      if (!oldest) break;
      DeleteRow(oldest->id);
      dropped.push_back(oldest->request);
    }
    transaction.Commit();
  }
  return dropped;
}

std::optional<OutboxStore::Candidate> OutboxStore::OverBound(std::int64_t nowMs,
                                                             const Bounds& bounds, bool byAge) {
  std::int64_t count = 0, bytes = 0;
  {
    StatementUse totals(statements->totals);
    if (totals->Step()) count = totals->Int(0), bytes = totals->Int(1);
  }
  const char* reason = count > bounds.maxRequests ? "count"
                       : bytes > bounds.maxBytes  ? "bytes"
                                                  : nullptr;
  if (reason == nullptr && !byAge) return std::nullopt;
  StatementUse oldest(statements->oldest);
  if (!oldest->Step()) return std::nullopt;
  if (reason == nullptr) {
    if (oldest->Int(2) >= nowMs - bounds.maxAgeMs) return std::nullopt;
    reason = "age";
  }
  return Candidate{oldest->Int(0), {oldest->Text(1), reason}};
}

std::optional<StoredRequest> OutboxStore::OldestPending() {
  StatementUse oldest(statements->oldestPending);
  if (!oldest->Step()) return std::nullopt;
  StoredRequest stored;
  stored.id = oldest->Int(0);
  stored.key = oldest->Text(1);
  stored.request.target = oldest->Text(2);
  stored.request.headers = SplitLines(oldest->Text(3));
  stored.request.body = oldest->Blob(4);
  stored.attempts = static_cast<int>(oldest->Int(5));
  stored.nextAttemptMs = oldest->Int(6);
  return stored;
}

void OutboxStore::Delete(std::int64_t id) {
  std::unique_lock<std::mutex> turn = WriteTurn();
  DeleteRow(id);
}

void OutboxStore::DeleteRow(std::int64_t id) {
  StatementUse remove(statements->remove);
  remove->Bind(1, id).Step();
}

void OutboxStore::ScheduleRetry(std::int64_t id, int attempts, std::int64_t nextAttemptMs) {
  std::unique_lock<std::mutex> turn = WriteTurn();
  StatementUse retry(statements->retry);
  retry->Bind(1, attempts).Bind(2, nextAttemptMs).Bind(3, id).Step();
}

void OutboxStore::SetAside(std::int64_t id, int attempts, int status, const std::string& reason) {
  std::unique_lock<std::mutex> turn = WriteTurn();
  StatementUse setAside(statements->setAside);
  setAside->Bind(1, attempts).Bind(2, status).BindText(3, reason).Bind(4, id).Step();
}

std::int64_t OutboxStore::Checkpoint() { return database->Checkpoint() * pageSize; }

std::int64_t OutboxStore::Rejected() {
  StatementUse rejected(statements->rejected);
  return rejected->Step() ? rejected->Int(0) : 0;
}

std::int64_t OutboxStore::Pending() {
  StatementUse pending(statements->pending);
  return pending->Step() ? pending->Int(0) : 0;
}

}  // namespace Delivery
