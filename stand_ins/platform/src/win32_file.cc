#include "platform/win32_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

#include "platform/strings.h"
#include "regular_file.h"

namespace {

thread_local DWORD lastError = ERROR_SUCCESS;

constexpr DWORD kNoReadLimit = 0xFFFFFFFFu;
std::atomic<DWORD> readLimitForTesting{kNoReadLimit};

// Opaque handle values map to POSIX descriptors. Values grow by 4 like the
// platform's and are never reused, so a stale handle can never reach a file
// opened later.
class HandleTable {
 public:
  HANDLE Add(int fd) {
    std::lock_guard<std::mutex> lock(mutex_);
    nextValue_ += 4;
    fds_.emplace(nextValue_, fd);
    return reinterpret_cast<HANDLE>(nextValue_);
  }

  std::optional<int> Find(HANDLE handle) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = fds_.find(reinterpret_cast<std::uintptr_t>(handle));
    if (it == fds_.end()) return std::nullopt;
    return it->second;
  }

  std::optional<int> Remove(HANDLE handle) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = fds_.find(reinterpret_cast<std::uintptr_t>(handle));
    if (it == fds_.end()) return std::nullopt;
    int fd = it->second;
    fds_.erase(it);
    return fd;
  }

  std::size_t Size() {
    std::lock_guard<std::mutex> lock(mutex_);
    return fds_.size();
  }

 private:
  std::mutex mutex_;
  std::uintptr_t nextValue_ = 0;
  std::unordered_map<std::uintptr_t, int> fds_;
};

HandleTable& Handles() {
  static HandleTable table;
  return table;
}

DWORD ErrorFromErrno(int error) {
  switch (error) {
    case ENOENT:
      return ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
      return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EISDIR:
      return ERROR_ACCESS_DENIED;
    case EMFILE:
    case ENFILE:
      return ERROR_TOO_MANY_OPEN_FILES;
    case ENOMEM:
      return ERROR_NOT_ENOUGH_MEMORY;
    case ENAMETOOLONG:
      return ERROR_FILENAME_EXCED_RANGE;
    case EBADF:
      return ERROR_INVALID_HANDLE;
    default:
      return ERROR_READ_FAULT;
  }
}

BOOL Fail(DWORD error) {
  lastError = error;
  return FALSE;
}

bool HasUnpairedSurrogate(std::u16string_view name) {
  for (std::size_t i = 0; i < name.size(); ++i) {
    char16_t unit = name[i];
    if (unit >= 0xD800 && unit <= 0xDBFF) {
      if (i + 1 == name.size() || name[i + 1] < 0xDC00 || name[i + 1] > 0xDFFF) return true;
      ++i;
    } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
      return true;
    }
  }
  return false;
}

// The UTF-8 POSIX path for a UTF-16 Windows name; nothing when the name has
// no valid encoding.
std::optional<std::string> PosixPath(LPCWSTR name) {
  std::u16string_view wide(name);
  if (HasUnpairedSurrogate(wide)) return std::nullopt;
  std::string path = Platform::ToUtf8(wide);
  for (char& c : path) {
    if (c == '\\') c = '/';
  }
  return path;
}

HANDLE OpenForReading(const std::string& path) {
  Platform::Internal::FileProblem problem;
  const int fd = Platform::Internal::OpenRegularFile(path, problem);
  if (fd < 0) {
    // The platform refuses to open a folder, a pipe or a device as a file.
    lastError = problem.notRegular ? ERROR_ACCESS_DENIED : ErrorFromErrno(problem.error);
    return INVALID_HANDLE_VALUE;
  }
  lastError = ERROR_SUCCESS;
  return Handles().Add(fd);
}

}  // namespace

HANDLE CreateFile2(LPCWSTR name, DWORD access, DWORD /*share*/, DWORD disposition, void* extended) {
  if (name == nullptr) {
    lastError = ERROR_INVALID_PARAMETER;
    return INVALID_HANDLE_VALUE;
  }
  if (access != GENERIC_READ || disposition != OPEN_EXISTING || extended != nullptr) {
    lastError = ERROR_NOT_SUPPORTED;
    return INVALID_HANDLE_VALUE;
  }
  std::optional<std::string> path = PosixPath(name);
  if (!path) {
    lastError = ERROR_INVALID_NAME;
    return INVALID_HANDLE_VALUE;
  }
  if (path->empty()) {
    lastError = ERROR_PATH_NOT_FOUND;
    return INVALID_HANDLE_VALUE;
  }
  return OpenForReading(*path);
}

BOOL GetFileSizeEx(HANDLE file, LARGE_INTEGER* size) {
  std::optional<int> fd = Handles().Find(file);
  if (!fd) return Fail(ERROR_INVALID_HANDLE);
  if (size == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  struct stat info {};
  if (::fstat(*fd, &info) != 0) return Fail(ErrorFromErrno(errno));
  size->QuadPart = static_cast<LONGLONG>(info.st_size);
  return TRUE;
}

BOOL ReadFile(HANDLE file, void* buffer, DWORD toRead, DWORD* read, void* overlapped) {
  if (read != nullptr) *read = 0;
  std::optional<int> fd = Handles().Find(file);
  if (!fd) return Fail(ERROR_INVALID_HANDLE);
  if (overlapped != nullptr) return Fail(ERROR_NOT_SUPPORTED);
  if (read == nullptr || (buffer == nullptr && toRead != 0)) {
    return Fail(ERROR_INVALID_PARAMETER);
  }
  DWORD wanted = std::min(toRead, readLimitForTesting.load());
  auto* bytes = static_cast<unsigned char*>(buffer);
  DWORD total = 0;
  // POSIX may deliver fewer bytes than asked before the end of the file.
  while (total < wanted) {
    ssize_t got = ::read(*fd, bytes + total, wanted - total);
    if (got < 0) {
      if (errno == EINTR) continue;
      *read = total;
      return Fail(ErrorFromErrno(errno));
    }
    if (got == 0) break;
    total += static_cast<DWORD>(got);
  }
  *read = total;
  return TRUE;
}

BOOL CloseHandle(HANDLE handle) {
  std::optional<int> fd = Handles().Remove(handle);
  if (!fd) return Fail(ERROR_INVALID_HANDLE);
  // On Linux the descriptor is released even when close reports an error.
  ::close(*fd);
  return TRUE;
}

DWORD GetLastError() { return lastError; }

void SetLastError(DWORD error) { lastError = error; }

namespace Win32FileTestHooks {

ScopedReadFileLimit::ScopedReadFileLimit(DWORD maxBytes) { readLimitForTesting.store(maxBytes); }

ScopedReadFileLimit::~ScopedReadFileLimit() { readLimitForTesting.store(kNoReadLimit); }

std::size_t OpenFileHandleCount() { return Handles().Size(); }

}  // namespace Win32FileTestHooks
