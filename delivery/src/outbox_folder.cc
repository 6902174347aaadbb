#include "outbox_folder.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "sqlite_database.h"

namespace Delivery {
namespace {

constexpr const char* kLockFileName = "outbox.lock";

[[noreturn]] void FailWithErrno(const std::string& doing) {
  throw StoreError(doing + ": " + std::strerror(errno));
}

std::string Octal(mode_t mode) {
  char text[8];
  std::snprintf(text, sizeof text, "%04o", static_cast<unsigned>(mode & 07777));
  return text;
}

std::string RealPath(const std::string& folder) {
  std::unique_ptr<char, decltype(&free)> real(realpath(folder.c_str(), nullptr), &free);
  if (!real) FailWithErrno("cannot use " + folder);
  return real.get();
}

bool Exists(const std::string& path) {
  struct stat info {};
  return lstat(path.c_str(), &info) == 0;
}

}  // namespace

std::string PrepareOutboxFolder(const std::string& folder) {
  if (folder.empty()) throw StoreError("no outbox folder given");
  for (std::size_t end = folder.find('/', 1);; end = folder.find('/', end + 1)) {
    const std::string part = folder.substr(0, end);
    if (!part.empty() && mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
      FailWithErrno("cannot create " + part);
    }
    if (end == std::string::npos) break;
  }
  const std::string real = RealPath(folder);
  struct stat info {};
  if (lstat(real.c_str(), &info) != 0) FailWithErrno("cannot use " + folder);
  if (!S_ISDIR(info.st_mode)) throw StoreError(folder + " is not a folder");
  if (info.st_uid != geteuid()) {
    throw StoreError("outbox folder " + real + " is owned by another user (uid " +
                     std::to_string(info.st_uid) + "), not by this one (uid " +
                     std::to_string(geteuid()) + "): it is not used");
  }
  if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
    throw StoreError("outbox folder " + real + " is writable by group or others (mode " +
                     Octal(info.st_mode) + "): it is not used until it is owner-only (chmod 700)");
  }
  return real;
}

void MakeOwnerOnlyFile(const std::string& path) {
  const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd >= 0) {
    close(fd);
  } else if (errno != EEXIST) {
    FailWithErrno("cannot create " + path);
  }
}

std::string UnusableFileReason(const std::string& path) {
  struct stat info {};
  if (lstat(path.c_str(), &info) != 0) return "";
  const std::string name = path.substr(path.rfind('/') + 1);
  if (S_ISLNK(info.st_mode)) return name + " is a symbolic link, which the outbox never follows";
  if (S_ISDIR(info.st_mode)) return name + " is a folder, not a file";
  if (!S_ISREG(info.st_mode)) return name + " is not a regular file";
  if (info.st_uid != geteuid()) {
    return name + " is owned by another user (uid " + std::to_string(info.st_uid) + ")";
  }
  return "";
}

std::string MoveAsidePath(const std::string& path, std::int64_t nowMs) {
  std::string aside = path + ".unreadable-" + std::to_string(nowMs);
  for (int n = 2; Exists(aside) || Exists(aside + "-wal"); ++n) {
    aside = path + ".unreadable-" + std::to_string(nowMs) + "-" + std::to_string(n);
  }
  if (std::rename(path.c_str(), aside.c_str()) != 0) FailWithErrno("cannot move " + path);
  return aside;
}

std::string MoveAside(const std::string& path, std::int64_t nowMs) {
  const std::string aside = MoveAsidePath(path, nowMs);
  std::rename((path + "-wal").c_str(), (aside + "-wal").c_str());
  const std::string shm = path + "-shm";
  if (UnusableFileReason(shm).empty()) {
    unlink(shm.c_str());
  } else {
    MoveAsidePath(shm, nowMs);
  }
  return aside;
}

void MoveAsideUnusableFiles(const std::string& path, std::int64_t nowMs,
                            std::vector<OutboxNotice>& notices) {
  std::string reason = UnusableFileReason(path);
  if (!reason.empty()) {
    notices.push_back({OutboxNotice::Kind::Moved, MoveAside(path, nowMs), reason});
  }
  for (const std::string& side : {path + "-wal", path + "-shm"}) {
    reason = UnusableFileReason(side);
    if (!reason.empty()) {
      notices.push_back({OutboxNotice::Kind::Moved, MoveAsidePath(side, nowMs), reason});
    }
  }
}

void RemoveMovedAsideCopies(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  const std::string folder = path.substr(0, slash), name = path.substr(slash + 1);
  std::unique_ptr<DIR, decltype(&closedir)> entries(opendir(folder.c_str()), &closedir);
  if (!entries) return;
  std::vector<std::string> copies;
  while (const dirent* entry = readdir(entries.get())) {
    const std::string file = entry->d_name;
    if (file.rfind(name, 0) != 0) continue;
    const std::string rest = file.substr(name.size());
    if (rest.find(".unreadable-") == std::string::npos &&
        rest.rfind("-wal.damaged-", 0) == std::string::npos) {
      continue;
    }
    struct stat info {};
    const std::string copy = folder + "/" + file;
    if (lstat(copy.c_str(), &info) == 0 && S_ISREG(info.st_mode) && info.st_uid == geteuid()) {
      copies.push_back(copy);
    }
  }
  for (const std::string& copy : copies) unlink(copy.c_str());
}

std::optional<FileIdentity> IdentityOf(const std::string& path) {
  struct stat info {};
  if (lstat(path.c_str(), &info) != 0) return std::nullopt;
  return FileIdentity{info.st_dev, info.st_ino};
}

SenderLock::~SenderLock() { Release(); }

void SenderLock::Release() {
  if (fd >= 0) close(fd);  // releases the lock
  fd = -1;
  held = false;
}

SenderLock::Attempt SenderLock::TryAcquire(std::int64_t nowMs) {
  Attempt attempt;
  try {
    if (fd >= 0) {
      struct stat info {};
      fstat(fd, &info);
      if (IdentityOf(path) != FileIdentity{info.st_dev, info.st_ino}) Release();
    }
    if (fd < 0) {
      path = PrepareOutboxFolder(folder) + "/" + kLockFileName;
      const std::string reason = UnusableFileReason(path);
      if (!reason.empty()) {
        attempt.notices.push_back({OutboxNotice::Kind::Moved, MoveAsidePath(path, nowMs), reason});
      }
      fd = open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
      if (fd < 0) FailWithErrno("cannot open " + path);
    }
    if (!held && flock(fd, LOCK_EX | LOCK_NB) == 0) {
      held = true;
    } else if (!held && errno != EWOULDBLOCK) {
      FailWithErrno("cannot lock " + path);
    }
  } catch (const StoreError& error) {
    attempt.problem = error.what();
  }
  attempt.held = held;
  return attempt;
}

}  // namespace Delivery
