#include "outbox_schema.h"

#include <algorithm>
#include <vector>

#include "dropped_notice.h"
#include "idempotency_key.h"

namespace Delivery {
namespace {

// The first version's tables, kept as they were so that every outbox,
// fresh or old, takes the same step up (the first version itself inserts
// into "totals" without naming its columns, which fails once it has more:
// it can no longer open an outbox this one has brought up to date). Few pages change per stored
// request (the row's and the one-row "totals", which triggers keep up to date, so that a bound
// check or a pending count costs no scan): no AUTOINCREMENT, no secondary index.
constexpr const char* kFirstSchema = R"(
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
INSERT OR IGNORE INTO totals(one, count, bytes, rejected) VALUES(1, 0, 0, 0);
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

// The second: a request's id is its number in the stream, given by the
// store from totals.last_sequence (the last number given, never lowered,
// so no number is given twice, whatever is deleted); the stream's id, the
// player's consent (and how often it was denied, so that a sender can tell
// a denial happened during its transfer even when consent was given again
// since) and whether the collector takes gzip; the ranges of
// numbers that left without being delivered, until the collector has them.
constexpr const char* kStreamSchema = R"(
ALTER TABLE totals ADD COLUMN last_sequence INTEGER NOT NULL DEFAULT 0;
CREATE TABLE stream(
  one INTEGER PRIMARY KEY CHECK(one = 1),
  id TEXT NOT NULL,
  consent INTEGER NOT NULL DEFAULT 0,
  compression INTEGER NOT NULL DEFAULT 1,
  purge_owed INTEGER NOT NULL DEFAULT 0,
  denials INTEGER NOT NULL DEFAULT 0);
CREATE TABLE unreported(
  id INTEGER PRIMARY KEY,
  reason TEXT NOT NULL,
  stream TEXT NOT NULL DEFAULT '',
  first INTEGER NOT NULL,
  last INTEGER NOT NULL);
DROP TRIGGER request_added;
CREATE TRIGGER request_added AFTER INSERT ON requests BEGIN
  UPDATE totals SET count = count + 1, bytes = bytes + NEW.bytes,
    last_sequence = max(last_sequence, NEW.id);
END;
)";

constexpr int kSchemaVersion = 1;

// Numbers the requests of a first-version outbox 1, 2, 3... in the order
// they were stored (their ids rise with it). Going up, the id a row takes
// is never that of a row not yet renumbered.
std::int64_t NumberStoredRequests(Database& database) {
  std::vector<std::int64_t> ids;
  {
    Statement select(database, "SELECT id FROM requests ORDER BY id");
    while (select.Step()) ids.push_back(select.Int(0));
  }
  Statement renumber(database, "UPDATE requests SET id = ? WHERE id = ?");
  for (std::size_t i = 0; i < ids.size(); ++i) {
    const std::int64_t number = static_cast<std::int64_t>(i) + 1;
    if (ids[i] == number) continue;
    StatementUse use(renumber);
    use->Bind(1, number).Bind(2, ids[i]).Step();
  }
  return static_cast<std::int64_t>(ids.size());
}

void StartStream(Database& database, const std::optional<EndedStream>& ended) {
  database.Exec(kStreamSchema);
  const std::int64_t numbered = NumberStoredRequests(database);
  database.Exec("UPDATE totals SET last_sequence = " + std::to_string(numbered));
  {
    Statement insert(database, "INSERT INTO stream(one, id) VALUES(1, ?)");
    insert.BindText(1, NewIdempotencyKey()).Step();
  }
  if (ended) {
    Statement insert(database,
                     "INSERT INTO unreported(reason, stream, first, last) "
                     "VALUES('damaged', ?, ?, ?)");
    insert.BindText(1, ended->id).Bind(2, ended->first).Bind(3, kOpenEnd).Step();
  }
  database.Exec("PRAGMA user_version = " + std::to_string(kSchemaVersion));
}

// The number `sql` gives (nothing for NULL); throws StoreError when the
// pages it reads are damaged.
std::optional<std::int64_t> ReadNumber(Database& database, const char* sql) {
  Statement query(database, sql);
  if (query.Step() && !query.IsNull(0)) return query.Int(0);
  return std::nullopt;
}

}  // namespace

void PrepareSchema(Database& database, const std::optional<EndedStream>& ended) {
  database.Exec(kFirstSchema);
  if (std::stoll(database.QueryText("PRAGMA user_version")) >= kSchemaVersion) return;
  database.Exec("BEGIN IMMEDIATE");
  try {
    if (std::stoll(database.QueryText("PRAGMA user_version")) < kSchemaVersion) {
      StartStream(database, ended);
    }
    database.Exec("COMMIT");
  } catch (const StoreError&) {
    try {
      database.Exec("ROLLBACK");
    } catch (const StoreError&) {
    }
    throw;
  }
  // The stream's id in the database file, not only in its log: a damaged
  // log then cannot take it away.
  database.Checkpoint();
}

std::optional<EndedStream> ReadEndedStream(Database& database) {
  EndedStream ended;
  try {
    ended.id = database.QueryText("SELECT id FROM stream");
  } catch (const StoreError&) {
  }
  if (ended.id.empty()) return std::nullopt;
  // The lowest number that may not have reached the collector: the first
  // unreported one, or the first still waiting, or else the next one. When
  // either cannot be read, any number may be lost: 1.
  try {
    const std::optional<std::int64_t> unreported =
        ReadNumber(database, "SELECT min(first) FROM unreported");
    const std::optional<std::int64_t> waiting =
        ReadNumber(database,
                   "SELECT coalesce(min(id), (SELECT last_sequence + 1 FROM totals)) FROM requests "
                   "WHERE rejected = 0");
    ended.first =
        std::max<std::int64_t>(1, std::min(unreported.value_or(INT64_MAX), waiting.value_or(1)));
  } catch (const StoreError&) {
    ended.first = 1;
  }
  return ended;
}

}  // namespace Delivery
