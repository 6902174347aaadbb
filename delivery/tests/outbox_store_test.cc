#include "outbox_store.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>

#include <filesystem>
#include <fstream>
#include <functional>

#include "ostrel_delivery.h"
#include "scratch_folder.h"

using namespace Delivery;

namespace {

OutgoingRequest Request(const std::string& body) {
  return {"/v1/win/record?project=p", {"X-Api-Key: k", "Content-Type: application/json"}, body};
}

std::vector<std::string> PendingBodies(OutboxStore& store) {
  std::vector<std::string> bodies;
  while (auto oldest = store.OldestPending()) {
    bodies.push_back(oldest->request.body);
    store.Delivered(oldest->id);
  }
  return bodies;
}

std::string FileBytes(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

unsigned Mode(const std::string& path) {
  struct stat info {};
  stat(path.c_str(), &info);
  return info.st_mode & 0777;
}

std::int64_t SizeOf(const std::string& path) {
  std::error_code missing;
  const auto size = std::filesystem::file_size(path, missing);
  return missing ? 0 : static_cast<std::int64_t>(size);
}

// A SQLite database of another program's.
void MakeOtherDatabase(const std::string& path) {
  sqlite3* db = nullptr;
  sqlite3_open(path.c_str(), &db);
  sqlite3_exec(db, "CREATE TABLE scores(name TEXT); INSERT INTO scores VALUES('ada');", nullptr,
               nullptr, nullptr);
  sqlite3_close(db);
}

}  // namespace

TEST(OutboxStore, KeepsRequestsAcrossConnectionsOldestFirstOwnerOnly) {
  ScratchFolder scratch;
  const std::string folder = scratch / "state/corvane";
  {
    OutboxStore store(folder, 1000, nullptr);
    OutboxStore other(folder, 1000, nullptr);
    store.Insert("k1", Request("{\"a\":\"caf\xC3\xA9\"}"), 1000, Bounds{});
    EXPECT_EQ(other.OldestPending()->key, "k1") << "on disk once stored";
    store.Insert("k2", Request(std::string("x\0y", 3)), 1001, Bounds{});
    store.ScheduleRetry(store.OldestPending()->id, 3, 5000);
  }
  OutboxStore store(folder, 2000, nullptr);
  EXPECT_EQ(store.Pending(), 2);
  std::optional<StoredRequest> oldest = store.OldestPending();
  ASSERT_TRUE(oldest);
  EXPECT_EQ(oldest->key, "k1");
  EXPECT_EQ(oldest->attempts, 3);
  EXPECT_EQ(oldest->nextAttemptMs, 5000);
  EXPECT_EQ(oldest->request.headers, Request("").headers);
  EXPECT_EQ(oldest->request.target, "/v1/win/record?project=p");
  store.SetAside(oldest->id, 4, 400, "HTTP 400: bad");
  EXPECT_EQ(store.Pending(), 1);
  EXPECT_EQ(store.Rejected(), 1);
  EXPECT_EQ(PendingBodies(store), (std::vector<std::string>{std::string("x\0y", 3)}));

  EXPECT_EQ(Mode(scratch / "state"), 0700u);
  EXPECT_EQ(Mode(folder), 0700u);
  for (const char* file : {"outbox.sqlite", "outbox.sqlite-wal", "outbox.sqlite-shm"}) {
    EXPECT_EQ(Mode(folder + "/" + file), 0600u) << file;
  }
}

TEST(OutboxStore, EachBoundDropsTheOldest) {
  ScratchFolder scratch;
  OutboxStore store(scratch.Path(), 0, nullptr);
  const std::int64_t requestBytes = RequestBytes(Request("0123456789"));

  Bounds bounds;
  bounds.maxRequests = 3;
  for (int i = 1; i <= 3; ++i) {
    EXPECT_TRUE(
        store.Insert("c" + std::to_string(i), Request("0123456789"), i, bounds).dropped.empty());
  }
  std::vector<DroppedRequest> dropped =
      store.Insert("c4", Request("0123456789"), 4, bounds).dropped;
  ASSERT_EQ(dropped.size(), 1u);
  EXPECT_EQ(dropped[0].key, "c1");
  EXPECT_EQ(dropped[0].reason, "count");
  EXPECT_EQ(store.Pending(), 3);

  bounds = Bounds{};
  bounds.maxBytes = 4 * requestBytes;  // room for one more of these, not two
  dropped = store.Insert("b1", Request(std::string(2 * 10, 'b')), 5, bounds).dropped;
  ASSERT_EQ(dropped.size(), 1u);
  EXPECT_EQ(dropped[0].key, "c2");
  EXPECT_EQ(dropped[0].reason, "bytes");

  bounds = Bounds{};
  bounds.maxAgeMs = 100;
  EXPECT_TRUE(store.DropOverBounds(103, bounds).empty());
  dropped = store.DropOverBounds(105, bounds);  // c3 (3) and c4 (4) are older than 5
  ASSERT_EQ(dropped.size(), 2u);
  EXPECT_EQ(dropped[0].key, "c3");
  EXPECT_EQ(dropped[1].reason, "age");
  EXPECT_EQ(PendingBodies(store), (std::vector<std::string>{std::string(20, 'b')}));

  // Bounds lowered since the requests were stored: the oldest go, however many.
  for (int i = 0; i < 50; ++i) store.Insert("d" + std::to_string(i), Request("{}"), 200, Bounds{});
  bounds = Bounds{};
  bounds.maxRequests = 10;
  dropped = store.DropOverBounds(200, bounds);
  ASSERT_EQ(dropped.size(), 40u);
  EXPECT_EQ(dropped.front().key, "d0");
  EXPECT_EQ(dropped.back().key, "d39");
  EXPECT_EQ(store.Pending(), 10);
}

TEST(OutboxStore, ItsFilesStayWithinTheByteBoundAndTheAllowanceUnderStoresAtFullSpeed) {
  ScratchFolder scratch;
  OutboxStore store(scratch.Path(), 0, nullptr);  // no sender copies its log meanwhile
  Bounds bounds;
  bounds.maxBytes = 512 * 1024;
  const std::string body(1000, 'x');
  std::int64_t largest = 0;
  for (int i = 0; i < 3000; ++i) {
    store.Insert("k" + std::to_string(i), Request(body), i, bounds);
    std::int64_t total = 0;
    for (const char* file : {"outbox.sqlite", "outbox.sqlite-wal", "outbox.sqlite-shm"}) {
      total += SizeOf(scratch / file);
    }
    largest = std::max(largest, total);
  }
  EXPECT_LE(largest, bounds.maxBytes + DELIVERY_DISK_ALLOWANCE(bounds.maxRequests));
  EXPECT_LE(SizeOf(scratch / "outbox.sqlite-wal"), 2 * kLogLimitBytes);
  EXPECT_LE(store.Pending() * static_cast<std::int64_t>(body.size()), bounds.maxBytes);
}

TEST(OutboxStore, TheStoringConnectionHandsALongLogOverAndCopiesItOnlyPastTwiceTheLimit) {
  ScratchFolder scratch;
  int asked = 0;
  OutboxStore storing(scratch.Path(), 0, nullptr, StoreOptions{}, [&] { ++asked; });
  const std::string body(64 * 1024, 'x');
  std::int64_t largest = 0;
  int stored = 0;
  while (asked == 0 || largest < kLogLimitBytes + 2 * static_cast<std::int64_t>(body.size())) {
    storing.Insert("k" + std::to_string(stored++), Request(body), 1, Bounds{});
    largest = std::max(largest, SizeOf(scratch / "outbox.sqlite-wal"));
    ASSERT_LT(stored, 1000);
  }
  EXPECT_GT(largest, kLogLimitBytes) << "past the limit, the log waits for its copier";
  for (int i = 0; i < 200; ++i) {
    storing.Insert("m" + std::to_string(i), Request(body), 1, Bounds{});
    largest = std::max(largest, SizeOf(scratch / "outbox.sqlite-wal"));
  }
  EXPECT_LE(largest, 2 * kLogLimitBytes + 2 * static_cast<std::int64_t>(body.size()))
      << "a copier that never copies: the storing connection copies past twice the limit";

  OutboxStore copier(scratch.Path(), 0, nullptr);
  copier.Checkpoint();
  storing.Insert("after", Request("{}"), 1, Bounds{});
  EXPECT_LE(SizeOf(scratch / "outbox.sqlite-wal"), kLogLimitBytes) << "started over once copied";
  EXPECT_EQ(storing.Pending(), stored + 201);
}

TEST(OutboxStore, AnUnreadableFileIsMovedAsideAndAFreshOneStarted) {
  ScratchFolder scratch;
  const std::string path = scratch / "outbox.sqlite";
  {
    OutboxStore store(scratch.Path(), 0, nullptr);
    for (int i = 0; i < 200; ++i) {
      store.Insert("k" + std::to_string(i), Request(std::string(500, 'x')), i, Bounds{});
    }
  }
  std::filesystem::resize_file(path, std::filesystem::file_size(path) / 2);  // truncated
  const std::string notADatabase(4096, 'n');
  for (const std::string& damage : {std::string("truncated"), notADatabase}) {
    if (damage != "truncated") std::ofstream(path, std::ios::binary) << damage;
    const std::string before = FileBytes(path);
    std::vector<OutboxNotice> notices;
    OutboxStore store(scratch.Path(), 77, &notices);
    ASSERT_EQ(notices.size(), 1u);
    const std::string movedTo = notices[0].path;
    EXPECT_EQ(movedTo.rfind(path + ".unreadable-77", 0), 0u) << movedTo;
    EXPECT_EQ(FileBytes(movedTo), before) << "moved, not changed";
    EXPECT_EQ(store.Pending(), 0);
    store.Insert("fresh", Request("{}"), 78, Bounds{});
    EXPECT_EQ(store.Pending(), 1);
    std::filesystem::remove(movedTo);
  }
}

TEST(OutboxStore, WhatStandsInPlaceOfAnOutboxFileIsMovedAsideNeverFollowed) {
  struct Case {
    std::string name, reason;
    std::function<bool(const ScratchFolder&)> prepare;  // false: cannot here
  };
  const Case cases[] = {
      {"outbox.sqlite", "is a folder",
       [](const ScratchFolder& s) { return mkdir((s / "outbox.sqlite").c_str(), 0700) == 0; }},
      {"outbox.sqlite", "is a symbolic link",
       [](const ScratchFolder& s) {
         MakeOtherDatabase(s / "scores.db");
         return symlink("scores.db", (s / "outbox.sqlite").c_str()) == 0;
       }},
      {"outbox.sqlite-wal", "is a symbolic link",
       [](const ScratchFolder& s) {
         MakeOtherDatabase(s / "scores.db");
         return symlink("scores.db", (s / "outbox.sqlite-wal").c_str()) == 0;
       }},
      {"outbox.sqlite-shm", "is a folder",
       [](const ScratchFolder& s) { return mkdir((s / "outbox.sqlite-shm").c_str(), 0700) == 0; }},
      {"outbox.sqlite", "is not a regular file",
       [](const ScratchFolder& s) { return mkfifo((s / "outbox.sqlite").c_str(), 0600) == 0; }},
      {"outbox.sqlite", "is owned by another user",
       [](const ScratchFolder& s) {
         std::ofstream(s / "outbox.sqlite").close();
         return chown((s / "outbox.sqlite").c_str(), geteuid() + 1, -1) == 0;  // as root only
       }},
  };
  for (const Case& c : cases) {
    ScratchFolder scratch;
    if (!c.prepare(scratch)) continue;
    const std::string other = FileBytes(scratch / "scores.db");
    std::vector<OutboxNotice> notices;
    OutboxStore store(scratch.Path(), 5, &notices);
    store.Insert("k", Request("{}"), 6, Bounds{});
    EXPECT_EQ(store.Pending(), 1) << c.name << " " << c.reason;
    ASSERT_EQ(notices.size(), 1u) << c.name << " " << c.reason;
    EXPECT_EQ(notices[0].kind, OutboxNotice::Kind::Moved);
    EXPECT_EQ(notices[0].path.rfind(scratch / c.name + ".unreadable-5", 0), 0u) << notices[0].path;
    EXPECT_NE(notices[0].reason.find(c.name + " " + c.reason), std::string::npos)
        << notices[0].reason;
    EXPECT_EQ(FileBytes(scratch / "scores.db"), other) << "another program's database untouched";
  }
}

TEST(OutboxStore, AFolderOthersCouldWriteOrThatAnotherUserOwnsIsRefusedWithTheReason) {
  // Each spoils the folder; false when it cannot here (chown needs root).
  const std::pair<std::function<bool(const std::string&)>, std::string> cases[] = {
      {[](const std::string& f) { return chmod(f.c_str(), 0770) == 0; },
       "writable by group or others"},
      {[](const std::string& f) { return chmod(f.c_str(), 0702) == 0; },
       "writable by group or others"},
      {[](const std::string& f) { return chown(f.c_str(), geteuid() + 1, -1) == 0; },
       "owned by another user"},
  };
  for (const auto& [spoil, reason] : cases) {
    ScratchFolder scratch;
    const std::string folder = scratch / "outbox";
    mkdir(folder.c_str(), 0700);
    if (!spoil(folder)) continue;
    try {
      OutboxStore store(folder, 0, nullptr);
      ADD_FAILURE() << "used a folder " << reason;
    } catch (const StoreError& error) {
      EXPECT_NE(std::string(error.what()).find(reason), std::string::npos) << error.what();
    }
    EXPECT_FALSE(std::filesystem::exists(folder + "/outbox.sqlite")) << reason;
  }
}

TEST(OutboxStore, AFullDiskFailsTheInsertAndKeepsWhatWasStored) {
  ScratchFolder scratch;
  OutboxStore store(scratch.Path(), 0, nullptr, StoreOptions{/*maxPageCount=*/8});
  store.Insert("small", Request("{}"), 1, Bounds{});
  try {
    store.Insert("large", Request(std::string(64 * 1024, 'x')), 2, Bounds{});
    ADD_FAILURE() << "stored past the full disk";
  } catch (const StoreError& error) {
    EXPECT_NE(std::string(error.what()).find("full"), std::string::npos) << error.what();
    EXPECT_FALSE(error.unreadable);
  }
  EXPECT_EQ(PendingBodies(store), (std::vector<std::string>{"{}"}));
}

TEST(OutboxStore, AWriteTheSystemRefusesFailsTheInsertAndKeepsWhatWasStored) {
  ScratchFolder scratch;
  OutboxStore store(scratch.Path(), 0, nullptr);
  store.Insert("small", Request("{}"), 1, Bounds{});
  std::string body(200 * 1024, ' ');  // written to the log at the commit
  for (std::size_t i = 0; i < body.size(); ++i) body[i] = static_cast<char>('a' + i % 26);

  // Files may grow by 16 kB only: the commit's write is cut short.
  const auto log = std::filesystem::file_size(scratch / "outbox.sqlite-wal");
  rlimit before{};
  getrlimit(RLIMIT_FSIZE, &before);
  const rlimit limited{log + 16 * 1024, before.rlim_max};
  auto* const previous = std::signal(SIGXFSZ, SIG_IGN);
  setrlimit(RLIMIT_FSIZE, &limited);
  bool failed = false;
  try {
    store.Insert("large", Request(body), 2, Bounds{});
  } catch (const StoreError& error) {
    failed = true;
    EXPECT_FALSE(error.unreadable) << error.what();
  }
  setrlimit(RLIMIT_FSIZE, &before);
  std::signal(SIGXFSZ, previous);
  EXPECT_TRUE(failed) << "stored though the write was refused";

  OutboxStore other(scratch.Path(), 3, nullptr);
  EXPECT_EQ(other.Pending(), 1);
  store.Insert("again", Request(body), 3, Bounds{});
  EXPECT_EQ(PendingBodies(other), (std::vector<std::string>{"{}", body}));
}
