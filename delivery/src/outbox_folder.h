// The outbox's folder and files on disk: created owner-only, trusted only
// when owner-only, never followed through a symbolic link, anything that is
// not a usable file moved aside, and the lock that makes one process the
// sender.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace Delivery {

// Something the library found in the outbox folder and dealt with, for the
// caller to hear of (a DELIVERY_OUTBOX_MOVED or _DAMAGED event).
struct OutboxNotice {
  enum class Kind { Moved, Damaged };
  Kind kind = Kind::Moved;
  std::string path;    // where the thing went, or a copy of it
  std::string reason;  // what was wrong
};

// Creates `folder` and every missing parent with mode 0700, then returns its
// real path (symbolic links in the name the caller gave are the caller's
// choice; none is followed below it). Throws StoreError when it cannot, or
// when the folder is writable by group or others or owned by another user:
// the outbox would hold files others could replace.
std::string PrepareOutboxFolder(const std::string& folder);

// Creates an empty file with mode 0600 when `path` does not exist, so that
// SQLite's database, log and shared-memory files are all owner-only (SQLite
// gives its side files the database file's mode). An existing file is not
// opened (closing a descriptor would drop this process's locks on it).
// Throws StoreError.
void MakeOwnerOnlyFile(const std::string& path);

// Why the outbox cannot use what is at `path` ("" when nothing is there or
// it is a regular file of this user's): a folder, a symbolic link, another
// kind of file, or another user's file.
std::string UnusableFileReason(const std::string& path);

// Renames `path` to "<path>.unreadable-<nowMs>" (with a number added when
// that name is taken); returns the new name. Throws StoreError.
std::string MoveAsidePath(const std::string& path, std::int64_t nowMs);

// Moves the database `path` aside with MoveAsidePath, and its log with it
// ("<new name>-wal"); removes (or, when it is not a file, moves aside) its
// shared-memory file. Returns the new name of the database file. Throws
// StoreError.
std::string MoveAside(const std::string& path, std::int64_t nowMs);

// Moves aside each of the database `path`, its log and its shared-memory
// file that cannot be used (see UnusableFileReason), the database with its
// log; says so in `notices`. Throws StoreError when one cannot be moved.
void MoveAsideUnusableFiles(const std::string& path, std::int64_t nowMs,
                            std::vector<OutboxNotice>& notices);

// Removes the copies of the database `path` and its log that were moved
// aside or kept as damaged (see MoveAsidePath and the damaged-log copy
// "<path>-wal.damaged-<ms>"): regular files of this user's only. They hold
// requests too.
void RemoveMovedAsideCopies(const std::string& path);

// Which file a name refers to.
struct FileIdentity {
  dev_t device = 0;
  ino_t inode = 0;
  bool operator==(const FileIdentity& other) const {
    return device == other.device && inode == other.inode;
  }
  bool operator!=(const FileIdentity& other) const { return !(*this == other); }
};
// The file at `path` (not following a link); nothing when there is none.
std::optional<FileIdentity> IdentityOf(const std::string& path);

// An exclusive lock on "<folder>/outbox.lock": the process holding it is
// the one that sends. Released on destruction or when the process ends,
// however it ends.
class SenderLock {
 public:
  explicit SenderLock(std::string folder) : folder(std::move(folder)) {}
  ~SenderLock();
  SenderLock(const SenderLock&) = delete;
  SenderLock& operator=(const SenderLock&) = delete;

  struct Attempt {
    bool held = false;
    std::vector<OutboxNotice> notices;  // a lock file that was not a file, moved aside
    std::string problem;                // why the lock cannot be taken ("" when it can)
  };
  // Held when this object holds the lock (taken now or earlier) on the file
  // that is "outbox.lock" now: a lock on a file since renamed is given up.
  Attempt TryAcquire(std::int64_t nowMs);

 private:
  void Release();

  const std::string folder;
  std::string path;  // of the lock file, while fd is open
  int fd = -1;
  bool held = false;
};

}  // namespace Delivery
