#include "regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace Platform::Internal {

std::string FileProblem::Describe() const {
  if (notRegular) return "not a regular file";
  if (error == ENOENT) return "file not found";
  if (error == EISDIR) return "a folder, not a file";
  return std::strerror(error);
}

int OpenRegularFile(const std::string& path, FileProblem& problem) {
  problem = {};
  // O_NONBLOCK: opening a FIFO returns at once instead of waiting for a writer.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) {
    problem.error = errno;
    return -1;
  }
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    const int error = errno;
    if (S_ISDIR(info.st_mode)) {
      problem.error = EISDIR;
    } else if (info.st_mode != 0) {
      problem.notRegular = true;
    } else {
      problem.error = error;
    }
    ::close(fd);
    return -1;
  }
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  return fd;
}

FileBytes ReadRegularFile(const std::string& path, std::uint64_t maxBytes) {
  FileBytes result;
  const int fd = OpenRegularFile(path, result.problem);
  if (fd < 0) return result;
  struct stat info {};
  if (::fstat(fd, &info) != 0) {
    result.problem.error = errno;
    ::close(fd);
    return result;
  }
  result.size = static_cast<std::uint64_t>(info.st_size);
  if (result.size > maxBytes) {
    result.tooLarge = true;
    ::close(fd);
    return result;
  }
  // Read to the end, at most one byte past the limit: the file may grow.
  std::string bytes(static_cast<std::size_t>(result.size), '\0');
  std::size_t total = 0;
  for (;;) {
    if (total == bytes.size()) {
      if (bytes.size() > maxBytes) break;
      bytes.resize(std::min<std::uint64_t>(maxBytes + 1, bytes.size() + 4096));
    }
    const ssize_t got = ::read(fd, bytes.data() + total, bytes.size() - total);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      result.problem.error = errno;
      ::close(fd);
      return result;
    }
    if (got == 0) break;
    total += static_cast<std::size_t>(got);
  }
  ::close(fd);
  if (total > maxBytes) {
    result.tooLarge = true;
    result.size = total;
    return result;
  }
  bytes.resize(total);
  result.bytes = std::move(bytes);
  result.ok = true;
  return result;
}

}  // namespace Platform::Internal
