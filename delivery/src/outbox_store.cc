#include "outbox_store.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <map>

#include "log_check.h"
#include "outbox_schema.h"

namespace Delivery {
namespace {

// Rows DropOverBounds deletes per transaction: a writer waiting behind it
// waits for a few rows, however many are over a bound.
constexpr int kDropsPerTransaction = 16;

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

// Opens the database and prepares its tables (see PrepareSchema, which
// `ended` is handed to). A file that fails its check throws StoreError
// (unreadable), with what it still tells of its stream in `salvaged`.
std::unique_ptr<Database> OpenDatabase(const std::string& path, const StoreOptions& options,
                                       bool checkFile, const std::function<void()>& copyLog,
                                       FileIdentity& identity,
                                       const std::optional<EndedStream>& ended,
                                       std::optional<EndedStream>* salvaged) {
  MakeOwnerOnlyFile(path);
  auto database = OpenNamedFile(path, identity);
  database->WaitWhenBusy(1000, options.giveUp);
  if (database->QueryText("PRAGMA journal_mode = WAL") != "wal") {
    throw StoreError("cannot switch " + path + " to write-ahead logging");
  }
  // In WAL mode a committed transaction survives a crash of the process
  // whether or not the connection waits for the disk.
  database->WaitForDisk(!copyLog);
  // A deleted row's bytes are zeroed in its pages (what the pages it frees
  // hold is left to the rewrite after a purge, see ClearPurged).
  database->Exec("PRAGMA secure_delete = FAST");
  if (options.maxPageCount > 0) {
    database->Exec("PRAGMA max_page_count = " + std::to_string(options.maxPageCount));
  }
  if (checkFile) {
    std::string check = database->QueryText("PRAGMA quick_check");
    if (check != "ok") {
      if (salvaged) *salvaged = ReadEndedStream(*database);
      throw StoreError(path + " is damaged: " + check, /*unreadable=*/true);
    }
  }
  PrepareSchema(*database, ended);
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
// with a copy of the log kept beside it. Returns how many transactions may
// be lost.
std::int64_t CheckLog(const std::string& path, std::int64_t nowMs,
                      std::vector<OutboxNotice>& notices) {
  const std::string log = path + "-wal";
  const LogDamage damage = FindLogDamage(log);
  if (damage.description.empty()) return 0;
  const std::string copy = log + ".damaged-" + std::to_string(nowMs);
  const bool copied = CopyFile(log, copy);
  notices.push_back({OutboxNotice::Kind::Damaged, copied ? copy : "",
                     damage.description +
                         "; requests stored in them and not yet copied into the database are lost" +
                         (copied ? "" : " (the log could not be copied)")});
  return damage.lostTransactions;
}

}  // namespace

// This process's connections, counted per database file name: the log is
// looked at for damage (see CheckLog) only by the first, and only when no
// other process has it open, so that nothing writes it meanwhile. Also the
// stream each file name last held here, so that a stream whose file is
// gone can still be reported.
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
  void RememberStream(const std::string& id) {
    std::lock_guard<std::mutex> lock(Mutex());
    Streams()[path] = id;
  }
  static std::optional<EndedStream> KnownStream(const std::string& path) {
    std::lock_guard<std::mutex> lock(Mutex());
    const auto known = Streams().find(path);
    if (known == Streams().end()) return std::nullopt;
    return EndedStream{known->second, 1};
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
  static std::map<std::string, std::string>& Streams() {
    static auto* const streams = new std::map<std::string, std::string>;
    return *streams;
  }
  const std::string path;
};

struct OutboxStore::Statements {
  explicit Statements(Database& db)
      : begin(db, "BEGIN IMMEDIATE"),
        commit(db, "COMMIT"),
        rollback(db, "ROLLBACK"),
        insert(db,
               // Not INSERT ... SELECT: with a trigger writing the table it
               // reads, SQLite copies the row (the body) once more first.
               "INSERT INTO requests(id, key, target, headers, body, bytes, created_ms) "
               "VALUES((SELECT last_sequence + 1 FROM totals), ?, ?, ?, ?, ?, ?)"),
        denied(db, "SELECT consent = 2 FROM stream"),
        totals(db, "SELECT count, bytes FROM totals"),
        oldest(db, "SELECT id, key, created_ms, rejected FROM requests ORDER BY id LIMIT 1"),
        oldestPending(db,
                      "SELECT id, key, target, headers, body, attempts, next_attempt_ms "
                      "FROM requests WHERE rejected = 0 ORDER BY id LIMIT 1"),
        remove(db, "DELETE FROM requests WHERE id = ?"),
        retry(db, "UPDATE requests SET attempts = ?, next_attempt_ms = ? WHERE id = ?"),
        setAside(db,
                 "UPDATE requests SET rejected = 1, attempts = ?, status = ?, reason = ? "
                 "WHERE id = ?"),
        rejected(db, "SELECT rejected FROM totals"),
        pending(db, "SELECT count - rejected FROM totals"),
        lastSequence(db, "SELECT last_sequence FROM totals"),
        stream(db, "SELECT id, consent, compression, purge_owed, denials FROM stream"),
        unreported(db,
                   "SELECT id, reason, stream, first, last FROM unreported ORDER BY id LIMIT ?"),
        latestRange(db,
                    "SELECT id, last FROM unreported WHERE reason = ? AND stream = '' "
                    "ORDER BY id DESC LIMIT 1"),
        extendRange(db, "UPDATE unreported SET last = ? WHERE id = ?"),
        addRange(db, "INSERT INTO unreported(reason, stream, first, last) VALUES(?, ?, ?, ?)"),
        shortenRange(db, "UPDATE unreported SET first = ? WHERE id = ? AND last > ?"),
        forgetRange(db, "DELETE FROM unreported WHERE id = ? AND last <= ?") {}
  Statement begin, commit, rollback, insert, denied, totals, oldest, oldestPending, remove, retry,
      setAside, rejected, pending, lastSequence, stream, unreported, latestRange, extendRange,
      addRange, shortenRange, forgetRange;
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
    std::int64_t lostTransactions = 0;
    registration = std::make_unique<Registration>(path, [&] {
      if (!OpenedByAnotherProcess(path)) lostTransactions = CheckLog(path, nowMs, found);
    });
    // A stream this process knew here and the file no longer holds ended
    // with the file (moved aside, here or before, or removed).
    const std::optional<EndedStream> known = Registration::KnownStream(path);
    std::optional<EndedStream> salvaged;
    try {
      database =
          OpenDatabase(path, options, options.checkFile, copyLog, identity, known, &salvaged);
    } catch (const StoreError& error) {
      if (!error.unreadable) throw;
      database.reset();
      found.push_back({OutboxNotice::Kind::Moved, MoveAside(path, nowMs),
                       std::string("not a database or damaged: ") + error.what()});
      database = OpenDatabase(path, options, /*checkFile=*/true, copyLog, identity,
                              salvaged ? salvaged : known, nullptr);
    }
    statements = std::make_unique<Statements>(*database);
    pageSize = database->PageSize();
    registration->RememberStream(Stream().id);
    if (lostTransactions > 0) SkipLostNumbers(lostTransactions);
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

InsertResult OutboxStore::Insert(const std::string& key, const OutgoingRequest& request,
                                 std::int64_t nowMs, const Bounds& bounds) {
  const std::string headers = JoinLines(request.headers);
  Transaction transaction(*this);
  InsertResult result;
  {
    StatementUse denied(statements->denied);
    if (denied->Step() && denied->Int(0) != 0) return result;
  }
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
  result.stored = true;
  // The age bound is the sender's (DropOverBounds), so that a store reads
  // no more than it must.
  while (std::optional<Candidate> oldest = OverBound(nowMs, bounds, /*byAge=*/false)) {
    Drop(*oldest);
    result.dropped.push_back(oldest->request);
  }
  transaction.Commit();
  return result;
}

std::vector<DroppedRequest> OutboxStore::DropOverBounds(std::int64_t nowMs, const Bounds& bounds) {
  std::vector<DroppedRequest> dropped;
  // Read first: the write lock is taken only when there is something to drop.
  while (OverBound(nowMs, bounds, /*byAge=*/true)) {
    Transaction transaction(*this);
    for (int n = 0; n < kDropsPerTransaction; ++n) {
      std::optional<Candidate> oldest = OverBound(nowMs, bounds, /*byAge=*/true);
      if (!oldest) break;
      Drop(*oldest);
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
  return Candidate{oldest->Int(0), oldest->Int(3) != 0, {oldest->Text(1), reason}};
}

void OutboxStore::Drop(const Candidate& candidate) {
  DeleteRow(candidate.id);
  // A rejected request's number was reported when it was set aside.
  if (!candidate.rejected) AddUnreported(candidate.request.reason, candidate.id);
}

void OutboxStore::AddUnreported(const std::string& reason, std::int64_t number) {
  {
    StatementUse latest(statements->latestRange);
    if (latest->BindText(1, reason).Step() && latest->Int(1) == number - 1) {
      const std::int64_t row = latest->Int(0);
      latest->Reset();
      StatementUse extend(statements->extendRange);
      extend->Bind(1, number).Bind(2, row).Step();
      return;
    }
  }
  StatementUse add(statements->addRange);
  add->BindText(1, reason).BindText(2, "").Bind(3, number).Bind(4, number).Step();
}

void OutboxStore::Forget(const std::vector<UnreportedRange>& told) {
  for (const UnreportedRange& range : told) {
    if (range.last != kOpenEnd) {
      StatementUse shorten(statements->shortenRange);
      shorten->Bind(1, range.last + 1).Bind(2, range.row).Bind(3, range.last).Step();
    }
    StatementUse forget(statements->forgetRange);
    forget->Bind(1, range.row).Bind(2, range.last).Step();
  }
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

void OutboxStore::Delivered(std::int64_t id, const std::vector<UnreportedRange>& told) {
  Transaction transaction(*this);
  DeleteRow(id);
  Forget(told);
  transaction.Commit();
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
  Transaction transaction(*this);
  {
    StatementUse setAside(statements->setAside);
    setAside->Bind(1, attempts).Bind(2, status).BindText(3, reason).Bind(4, id).Step();
  }
  if (database->Changes() == 1) AddUnreported("rejected", id);
  transaction.Commit();
}

StreamState OutboxStore::Stream() {
  StatementUse stream(statements->stream);
  StreamState state;
  if (!stream->Step()) throw StoreError("outbox " + path + " has no stream");
  state.id = stream->Text(0);
  const std::int64_t consent = stream->Int(1);
  state.consent = consent == 1   ? Consent::Given
                  : consent == 2 ? Consent::Denied
                                 : Consent::Undecided;
  state.gzipRefused = stream->Int(2) == 0;
  state.purgeOwed = stream->Int(3) != 0;
  state.denials = stream->Int(4);
  return state;
}

std::vector<UnreportedRange> OutboxStore::Unreported(std::size_t limit) {
  StatementUse unreported(statements->unreported);
  unreported->Bind(1, static_cast<std::int64_t>(limit));
  std::vector<UnreportedRange> ranges;
  while (unreported->Step()) {
    ranges.push_back({unreported->Int(0), unreported->Text(1), unreported->Text(2),
                      unreported->Int(3), unreported->Int(4)});
  }
  return ranges;
}

std::int64_t OutboxStore::LastSequence() {
  StatementUse last(statements->lastSequence);
  return last->Step() ? last->Int(0) : 0;
}

void OutboxStore::RefuseGzip() {
  std::unique_lock<std::mutex> turn = WriteTurn();
  database->Exec("UPDATE stream SET compression = 0");
}

void OutboxStore::GiveConsent() {
  std::unique_lock<std::mutex> turn = WriteTurn();
  database->Exec("UPDATE stream SET consent = 1");
}

std::int64_t OutboxStore::DenyConsent() {
  std::int64_t purged = 0;
  {
    Transaction transaction(*this);
    database->Exec("UPDATE stream SET consent = 2, purge_owed = 2, denials = denials + 1");
    std::vector<std::int64_t> waiting;
    {
      Statement rows(*database, "SELECT id, rejected FROM requests ORDER BY id");
      for (; rows.Step(); ++purged) {
        if (rows.Int(1) == 0) waiting.push_back(rows.Int(0));
      }
    }
    for (const std::int64_t number : waiting) AddUnreported("consent", number);
    database->Exec("DELETE FROM requests");
    transaction.Commit();
  }
  ClearPurged();
  return purged;
}

// purge_owed: 2, the rewrite and the cut are owed; 1, the cut only.
bool OutboxStore::ClearPurged() {
  RemoveMovedAsideCopies(path);
  std::unique_lock<std::mutex> turn = WriteTurn();
  try {
    // The pages a deleted row left (and earlier versions of rows, from
    // updates) are not in the rewritten file; the log, which held the
    // rows' pages too, is cut to nothing.
    if (database->QueryText("SELECT purge_owed FROM stream") == "2") {
      database->Exec("VACUUM");
      database->Exec("UPDATE stream SET purge_owed = 1");
    }
    if (!database->EmptyLog()) return false;
    database->Exec("UPDATE stream SET purge_owed = 0");
    return true;
  } catch (const StoreError& error) {
    if (error.unreadable) throw;
    return false;  // busy, or no room to rewrite: owed
  }
}

void OutboxStore::SkipLostNumbers(std::int64_t lost) {
  const std::string stream = Stream().id;
  Transaction transaction(*this);
  const std::int64_t last = LastSequence();
  database->Exec("UPDATE totals SET last_sequence = " + std::to_string(last + lost));
  {
    StatementUse add(statements->addRange);
    add->BindText(1, "damaged").BindText(2, stream).Bind(3, last + 1).Bind(4, last + lost).Step();
  }
  transaction.Commit();
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
