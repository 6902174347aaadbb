#include "outbox_store.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <map>

#include "log_check.h"

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

// A connection whose file is the one at `path` now (so that IsCurrent
// compares with the file SQLite has open): the name is looked at before and
// after SQLite opens it, and it is opened again when the two differ.
std::unique_ptr<Database> OpenNamedFile(const std::string& path, FileIdentity& identity) {
  for (int tries = 0;; ++tries) {
    const std::optional<FileIdentity> before = IdentityOf(path);
    auto database = std::make_unique<Database>(path);
    const std::optional<FileIdentity> after = IdentityOf(path);
    if ((before && before == after) || tries == 3) {
      identity = after.value_or(FileIdentity{});
      return database;
    }
  }
}

std::unique_ptr<Database> OpenDatabase(const std::string& path, const StoreOptions& options,
                                       bool checkFile, const std::function<void()>& copyLog,
                                       FileIdentity& identity) {
  MakeOwnerOnlyFile(path);
  auto database = OpenNamedFile(path, identity);
  database->WaitWhenBusy(1000, options.giveUp);
  if (database->QueryText("PRAGMA journal_mode = WAL") != "wal") {
    throw StoreError("cannot switch " + path + " to write-ahead logging");
  }
  // In WAL mode a committed transaction survives a crash of the process
  // whether or not the connection waits for the disk.
  database->WaitForDisk(!copyLog);
  if (options.maxPageCount > 0) {
    database->Exec("PRAGMA max_page_count = " + std::to_string(options.maxPageCount));
  }
  if (checkFile) {
    std::string check = database->QueryText("PRAGMA quick_check");
    if (check != "ok") throw StoreError(path + " is damaged: " + check, /*unreadable=*/true);
  }
  database->Exec(kSchema);
  // The sender copies the log into the database between its steps, every
  // second; past the limit (stores faster than the sender's copies keep up
  // with) a commit has it copied, or copies it, so that the files stay
  // bounded.
  database->LimitLog(kLogLimitBytes, copyLog);
  return database;
}

// Copies `from` to a new owner-only file `to`. False when it cannot.
bool CopyFile(const std::string& from, const std::string& to) {
  const int in = open(from.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  const int out = open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  bool copied = in >= 0 && out >= 0;
  char buffer[64 * 1024];
  for (ssize_t got; copied && (got = read(in, buffer, sizeof buffer)) != 0;) {
    copied = got > 0 && write(out, buffer, static_cast<std::size_t>(got)) == got;
  }
  if (in >= 0) close(in);
  if (out >= 0) close(out);
  return copied;
}

// Reports damage in the log of the database `path` that will lose requests,
// with a copy of the log kept beside it.
void CheckLog(const std::string& path, std::int64_t nowMs, std::vector<OutboxNotice>& notices) {
  const std::string log = path + "-wal";
  const std::string damage = FindLogDamage(log);
  if (damage.empty()) return;
  const std::string copy = log + ".damaged-" + std::to_string(nowMs);
  const bool copied = CopyFile(log, copy);
  notices.push_back({OutboxNotice::Kind::Damaged, copied ? copy : "",
                     damage +
                         "; requests stored in them and not yet copied into the database are lost" +
                         (copied ? "" : " (the log could not be copied)")});
}

}  // namespace

// This process's connections, counted per database file name: the log is
// looked at for damage (see CheckLog) only by the first, and only when no
// other process has it open, so that nothing writes it meanwhile.
class OutboxStore::Registration {
 public:
  Registration(const std::string& path, const std::function<void()>& whenFirst) : path(path) {
    std::lock_guard<std::mutex> lock(Mutex());
    if (Counts()[path]++ == 0) whenFirst();
  }
  ~Registration() {
    std::lock_guard<std::mutex> lock(Mutex());
    if (--Counts()[path] == 0) Counts().erase(path);
  }

 private:
  // Never destroyed: a connection closed by a static destructor still leaves.
  static std::mutex& Mutex() {
    static auto* const mutex = new std::mutex;
    return *mutex;
  }
  static std::map<std::string, int>& Counts() {
    static auto* const counts = new std::map<std::string, int>;
    return *counts;
  }
  const std::string path;
};

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

OutboxStore::OutboxStore(const std::string& folder, std::int64_t nowMs,
                         std::vector<OutboxNotice>* notices, StoreOptions options,
                         std::function<void()> copyLog)
    : writers(options.writers) {
  std::vector<OutboxNotice> found;
  const std::string realFolder = PrepareOutboxFolder(folder);
  path = realFolder + "/" + kFileName;
  folderFd = open(realFolder.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  MoveAsideUnusableFiles(path, nowMs, found);
  try {
    registration = std::make_unique<Registration>(path, [&] {
      if (!OpenedByAnotherProcess(path)) CheckLog(path, nowMs, found);
    });
    try {
      database = OpenDatabase(path, options, options.checkFile, copyLog, identity);
    } catch (const StoreError& error) {
      if (!error.unreadable) throw;
      database.reset();
      found.push_back({OutboxNotice::Kind::Moved, MoveAside(path, nowMs),
                       std::string("not a database or damaged: ") + error.what()});
      database = OpenDatabase(path, options, /*checkFile=*/true, copyLog, identity);
    }
    statements = std::make_unique<Statements>(*database);
    pageSize = database->PageSize();
  } catch (...) {
    if (notices) notices->insert(notices->end(), found.begin(), found.end());
    if (folderFd >= 0) close(folderFd);
    throw;
  }
  if (notices) notices->insert(notices->end(), found.begin(), found.end());
}

OutboxStore::~OutboxStore() {
  if (folderFd >= 0) close(folderFd);
}

bool OutboxStore::IsCurrent() const { return IdentityOf(path) == identity; }

bool OutboxStore::LooksCurrent() const {
  if (folderFd < 0) return IsCurrent();
  struct stat info {};
  if (fstatat(folderFd, kFileName, &info, AT_SYMLINK_NOFOLLOW) != 0) return false;
  return FileIdentity{info.st_dev, info.st_ino} == identity;
}

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
