#include "outbox_folder.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "sqlite_database.h"

namespace Delivery {
namespace {

[[noreturn]] void FailWithErrno(const std::string& doing) {
  throw StoreError(doing + ": " + std::strerror(errno));
}

}  // namespace

void MakeOwnerOnlyFolder(const std::string& folder) {
  if (folder.empty()) throw StoreError("no outbox folder given");
  for (std::size_t end = folder.find('/', 1);; end = folder.find('/', end + 1)) {
    const std::string part = folder.substr(0, end);
    if (!part.empty() && mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
      FailWithErrno("cannot create " + part);
    }
    if (end == std::string::npos) break;
  }
  struct stat info {};
  if (stat(folder.c_str(), &info) != 0) FailWithErrno("cannot use " + folder);
  if (!S_ISDIR(info.st_mode)) throw StoreError(folder + " is not a folder");
}

void MakeOwnerOnlyFile(const std::string& path) {
  int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) FailWithErrno("cannot open " + path);
  close(fd);
}

std::string MoveAside(const std::string& path, std::int64_t nowMs) {
  const std::string aside = path + ".unreadable-" + std::to_string(nowMs);
  if (std::rename(path.c_str(), aside.c_str()) != 0) FailWithErrno("cannot move " + path);
  std::rename((path + "-wal").c_str(), (aside + "-wal").c_str());
  unlink((path + "-shm").c_str());
  return aside;
}

SenderLock::~SenderLock() {
  if (fd >= 0) close(fd);  // releases the lock
}

bool SenderLock::TryAcquire() {
  if (held) return true;
  if (fd < 0) fd = open((folder + "/outbox.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  held = fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) == 0;
  return held;
}

}  // namespace Delivery
