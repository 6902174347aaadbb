// The outbox's stream on disk: numbers, what left undelivered until told,
// outboxes of the first version, ended streams, and consent denied.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <fstream>
#include <regex>

#include "dropped_notice.h"
#include "outbox_store.h"
#include "scratch_folder.h"

using namespace Delivery;

namespace Delivery {
void PrintTo(const UnreportedRange& range, std::ostream* out) {
  *out << range.reason << ":" << range.stream << ":" << range.first << "-" << range.last;
}
}  // namespace Delivery

namespace {

OutgoingRequest Request(const std::string& body) {
  return {"/v1/win/record?project=p", {"X-Api-Key: k", "Content-Type: application/json"}, body};
}

std::vector<std::pair<std::int64_t, std::string>> PendingNumbersAndKeys(OutboxStore& store) {
  std::vector<std::pair<std::int64_t, std::string>> pending;
  while (auto oldest = store.OldestPending()) {
    pending.emplace_back(oldest->id, oldest->key);
    store.Delivered(oldest->id);
  }
  return pending;
}

UnreportedRange Range(const std::string& reason, std::int64_t first, std::int64_t last,
                      const std::string& stream = "") {
  return {0, reason, stream, first, last};
}

// The ranges without their rows, which the tests do not predict.
std::vector<UnreportedRange> Ranges(OutboxStore& store) {
  std::vector<UnreportedRange> ranges = store.Unreported();
  for (UnreportedRange& range : ranges) range.row = 0;
  return ranges;
}

bool AnyFileHolds(const std::string& folder, const std::string& text) {
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    std::ifstream file(entry.path(), std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(file), {}};
    if (bytes.find(text) != std::string::npos) return true;
  }
  return false;
}

void Exec(sqlite3* db, const std::string& sql) {
  char* error = nullptr;
  ASSERT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error), SQLITE_OK) << error;
}

}  // namespace

TEST(OutboxStream, NumbersRequestsInStorageOrderAcrossConnectionsAndNeverGivesOneTwice) {
  ScratchFolder folder;
  std::string stream;
  {
    OutboxStore first(folder.Path(), 0, nullptr), second(folder.Path(), 0, nullptr);
    stream = first.Stream().id;
    EXPECT_TRUE(std::regex_match(stream, std::regex("[0-9a-f]{8}(-[0-9a-f]{4}){3}-[0-9a-f]{12}")));
    EXPECT_EQ(second.Stream().id, stream);
    first.Insert("a", Request("{}"), 1, Bounds{});
    second.Insert("b", Request("{}"), 2, Bounds{});
    first.Insert("c", Request("{}"), 3, Bounds{});
    EXPECT_EQ(PendingNumbersAndKeys(second),
              (std::vector<std::pair<std::int64_t, std::string>>{{1, "a"}, {2, "b"}, {3, "c"}}));
  }
  OutboxStore later(folder.Path(), 0, nullptr);  // the last one was deleted: 3 is not given again
  later.Insert("d", Request("{}"), 4, Bounds{});
  EXPECT_EQ(later.Stream().id, stream);
  EXPECT_EQ(later.OldestPending()->id, 4);
  EXPECT_EQ(later.LastSequence(), 4);
}

TEST(OutboxStream, AFirstVersionOutboxKeepsItsRequestsNumberedInStorageOrder) {
  ScratchFolder folder;
  {
    // The tables and triggers the first version made, with rows whose ids
    // have gaps (the oldest were sent, one was set aside).
    sqlite3* db = nullptr;
    sqlite3_open((folder / "outbox.sqlite").c_str(), &db);
    Exec(db, R"(PRAGMA journal_mode = WAL;
      CREATE TABLE requests(id INTEGER PRIMARY KEY, key TEXT NOT NULL, target TEXT NOT NULL,
        headers TEXT NOT NULL, body BLOB NOT NULL, bytes INTEGER NOT NULL,
        created_ms INTEGER NOT NULL, attempts INTEGER NOT NULL DEFAULT 0,
        next_attempt_ms INTEGER NOT NULL DEFAULT 0, rejected INTEGER NOT NULL DEFAULT 0,
        status INTEGER NOT NULL DEFAULT 0, reason TEXT NOT NULL DEFAULT '');
      CREATE TABLE totals(one INTEGER PRIMARY KEY CHECK(one = 1), count INTEGER NOT NULL,
        bytes INTEGER NOT NULL, rejected INTEGER NOT NULL);
      INSERT INTO totals VALUES(1, 0, 0, 0);
      CREATE TRIGGER request_added AFTER INSERT ON requests BEGIN
        UPDATE totals SET count = count + 1, bytes = bytes + NEW.bytes; END;
      CREATE TRIGGER request_removed AFTER DELETE ON requests BEGIN
        UPDATE totals SET count = count - 1, bytes = bytes - OLD.bytes,
          rejected = rejected - OLD.rejected; END;
      CREATE TRIGGER request_set_aside AFTER UPDATE OF rejected ON requests BEGIN
        UPDATE totals SET rejected = rejected - OLD.rejected + NEW.rejected; END;
      INSERT INTO requests(id, key, target, headers, body, bytes, created_ms)
        VALUES(5, 'k5', '/v1/win/record?project=p', 'X-Api-Key: k', '{"n":5}', 40, 1),
              (9, 'k9', '/v1/win/record?project=p', 'X-Api-Key: k', '{"n":9}', 40, 2),
              (12, 'k12', '/v1/win/record?project=p', 'X-Api-Key: k', '{"n":12}', 41, 3);
      UPDATE requests SET rejected = 1 WHERE id = 9;)");
    sqlite3_close(db);
  }
  for (int opening = 0; opening < 2; ++opening) {  // numbered once
    OutboxStore store(folder.Path(), 0, nullptr);
    EXPECT_EQ(store.Pending(), 2);
    EXPECT_EQ(store.Rejected(), 1);
    EXPECT_EQ(store.LastSequence(), 3);
    EXPECT_FALSE(store.Stream().id.empty());
  }
  OutboxStore store(folder.Path(), 0, nullptr);
  store.Insert("new", Request("{}"), 4, Bounds{});
  std::optional<StoredRequest> oldest = store.OldestPending();
  EXPECT_EQ(oldest->request.body, "{\"n\":5}");
  EXPECT_EQ(PendingNumbersAndKeys(store),
            (std::vector<std::pair<std::int64_t, std::string>>{{1, "k5"}, {3, "k12"}, {4, "new"}}));
}

TEST(OutboxStream, WhatLeavesUndeliveredStaysInRangesUntilTheCollectorHasThem) {
  ScratchFolder folder;
  OutboxStore store(folder.Path(), 0, nullptr);
  Bounds bounds;
  bounds.maxRequests = 2;
  for (int i = 1; i <= 5; ++i) store.Insert("k" + std::to_string(i), Request("{}"), i, bounds);
  EXPECT_EQ(Ranges(store), std::vector<UnreportedRange>{Range("count", 1, 3)}) << "one range";
  store.SetAside(4, 1, 400, "HTTP 400");
  store.Insert("k6", Request("{}"), 6, bounds);  // drops 4, rejected: told as such, not again
  bounds.maxAgeMs = 10;
  store.DropOverBounds(16, bounds);  // 5 is older than 6
  EXPECT_EQ(Ranges(store), (std::vector<UnreportedRange>{
                               Range("count", 1, 3), Range("rejected", 4, 4), Range("age", 5, 5)}));
  const std::vector<UnreportedRange> told = store.Unreported();
  EXPECT_EQ(DroppedNotice(told), "count=1-3;rejected=4;age=5");
  store.Insert("k7", Request("{}"), 16, Bounds{});
  store.DropOverBounds(30, bounds);  // 6 and 7, after the notice was read
  store.Delivered(6, told);
  EXPECT_EQ(Ranges(store), std::vector<UnreportedRange>{Range("age", 6, 7)})
      << "what was added since stays";
  EXPECT_EQ(DroppedNotice({Range("age", 6, 7), Range("count", 9, 9), Range("age", 11, 11),
                           Range("damaged", 3, kOpenEnd, "0a1b")}),
            "age=6-7,11;count=9;damaged=0a1b:3-");
}

TEST(OutboxStream, AStreamWhoseFileEndedIsReportedAsDamagedByTheFreshOne) {
  ScratchFolder folder;
  const std::string path = folder / "outbox.sqlite";
  std::string ended;
  {
    OutboxStore store(folder.Path(), 0, nullptr);
    ended = store.Stream().id;
    for (int i = 1; i <= 300; ++i) {
      store.Insert("k" + std::to_string(i), Request(std::string(500, 'x')), i, Bounds{});
    }
    for (int i = 1; i <= 50; ++i) store.Delivered(i);
    store.Checkpoint();
  }
  // Damaged, but its first pages still read: the first 50 were delivered.
  {
    const auto size = std::filesystem::file_size(path);
    std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
    file.seekp(static_cast<std::streamoff>(size / 2));
    file << std::string(size - size / 2, '\0');
  }
  std::vector<OutboxNotice> notices;
  OutboxStore fresh(folder.Path(), 0, &notices);
  ASSERT_EQ(notices.size(), 1u);
  EXPECT_NE(fresh.Stream().id, ended);
  EXPECT_EQ(Ranges(fresh), std::vector<UnreportedRange>{Range("damaged", 51, kOpenEnd, ended)});

  // Not a database at all, or removed: what this process knew of it.
  for (const bool removed : {false, true}) {
    ended = OutboxStore(folder.Path(), 0, nullptr).Stream().id;
    if (removed) {
      for (const char* file : {"outbox.sqlite", "outbox.sqlite-wal", "outbox.sqlite-shm"}) {
        std::filesystem::remove(folder / file);
      }
    } else {
      std::ofstream(path, std::ios::binary) << std::string(4096, 'n');
    }
    OutboxStore next(folder.Path(), 0, nullptr);
    EXPECT_EQ(Ranges(next), std::vector<UnreportedRange>{Range("damaged", 1, kOpenEnd, ended)})
        << (removed ? "removed" : "not a database");
  }

  ScratchFolder unknown;  // a file this process never had open: nothing to tell
  std::ofstream(unknown / "outbox.sqlite", std::ios::binary) << std::string(4096, 'n');
  EXPECT_TRUE(OutboxStore(unknown.Path(), 0, nullptr).Unreported().empty());
}

TEST(OutboxStream, DenyingConsentDeletesEveryRequestAndLeavesNoTraceInTheFiles) {
  ScratchFolder folder;
  OutboxStore store(folder.Path(), 0, nullptr), other(folder.Path(), 0, nullptr);
  const std::string secret = "secret-player-event-";
  for (int i = 1; i <= 3; ++i) {
    store.Insert("k" + std::to_string(i), Request(secret + std::string(6000, 'a' + i)), i,
                 Bounds{});
    store.ScheduleRetry(i, 1, 1000 + i);  // rewritten rows leave their earlier copies
  }
  store.SetAside(2, 2, 400, "HTTP 400");
  store.Checkpoint();
  std::ofstream(folder / "outbox.sqlite.unreadable-5") << secret;
  std::ofstream(folder / "outbox.sqlite-wal.damaged-7") << secret;
  ASSERT_TRUE(AnyFileHolds(folder.Path(), secret + std::string(100, 'b')));

  // A reader elsewhere keeps the log from being cut: the cut is owed.
  sqlite3* reader = nullptr;
  sqlite3_open((folder / "outbox.sqlite").c_str(), &reader);
  Exec(reader, "BEGIN; SELECT count(*) FROM requests;");
  EXPECT_EQ(other.DenyConsent(), 3);
  EXPECT_TRUE(store.Stream().purgeOwed);
  Exec(reader, "COMMIT");
  sqlite3_close(reader);
  EXPECT_TRUE(store.ClearPurged());
  EXPECT_FALSE(AnyFileHolds(folder.Path(), secret)) << "in no file of the outbox";
  EXPECT_EQ(store.Pending() + store.Rejected(), 0);
  EXPECT_FALSE(store.Insert("k4", Request("{}"), 4, Bounds{}).stored);
  EXPECT_EQ(store.Stream().consent, Consent::Denied);
  EXPECT_FALSE(store.Stream().purgeOwed);
  EXPECT_EQ(Ranges(store),
            (std::vector<UnreportedRange>{Range("rejected", 2, 2), Range("consent", 1, 1),
                                          Range("consent", 3, 3)}));

  store.GiveConsent();
  EXPECT_TRUE(store.Insert("k5", Request("{}"), 5, Bounds{}).stored);
  EXPECT_EQ(store.OldestPending()->id, 4) << "the numbers go on";
}
