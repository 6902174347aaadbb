// The outbox's folder and files on disk: created owner-only, an unreadable
// database moved aside, and the lock that makes one process the sender.
#pragma once

#include <cstdint>
#include <string>

namespace Delivery {

// Creates `folder` and every missing parent with mode 0700 (an existing
// folder keeps its mode). Throws StoreError when it cannot.
void MakeOwnerOnlyFolder(const std::string& folder);

// Creates an empty file with mode 0600 when `path` does not exist, so that
// SQLite's database, log and shared-memory files are all owner-only (SQLite
// gives its side files the database file's mode). Throws StoreError.
void MakeOwnerOnlyFile(const std::string& path);

// Renames the database `path`, and its log, to
// "<path>.unreadable-<nowMs>[-wal]" and removes its shared-memory file.
// Returns the new name of the database file. Throws StoreError.
std::string MoveAside(const std::string& path, std::int64_t nowMs);

// An exclusive lock on "<folder>/outbox.lock": the process holding it is
// the one that sends. Released on destruction or when the process ends,
// however it ends.
class SenderLock {
 public:
  explicit SenderLock(std::string folder) : folder(std::move(folder)) {}
  ~SenderLock();
  SenderLock(const SenderLock&) = delete;
  SenderLock& operator=(const SenderLock&) = delete;

  // True when this object holds the lock (taken now or earlier).
  bool TryAcquire();

 private:
  std::string folder;
  int fd = -1;
  bool held = false;
};

}  // namespace Delivery
