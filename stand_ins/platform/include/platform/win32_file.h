// The Win32 file functions the host calls, implemented over POSIX.
//
// Only reading an existing file is supported: CreateFile2 with GENERIC_READ
// and OPEN_EXISTING. Share modes are accepted and not enforced (POSIX has no
// mandatory sharing locks). Names are UTF-16; relative names resolve against
// the current directory, and '\' separates path components as on Windows.
// Handles are opaque values that are never reused within a process.
#pragma once

#include <cstddef>
#include <cstdint>

using BOOL = int;
using DWORD = std::uint32_t;
using LONGLONG = std::int64_t;
using HANDLE = void*;
using LPCWSTR = const char16_t*;

constexpr BOOL FALSE = 0;
constexpr BOOL TRUE = 1;

// The 64-bit size reported by GetFileSizeEx.
struct LARGE_INTEGER {
  LONGLONG QuadPart;
};

inline const HANDLE INVALID_HANDLE_VALUE = reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(-1));

constexpr DWORD GENERIC_READ = 0x80000000u;
constexpr DWORD FILE_SHARE_READ = 0x00000001u;
constexpr DWORD FILE_SHARE_WRITE = 0x00000002u;
constexpr DWORD FILE_SHARE_DELETE = 0x00000004u;
constexpr DWORD OPEN_EXISTING = 3;

// Error codes returned by GetLastError, with the platform's values.
constexpr DWORD ERROR_SUCCESS = 0;
constexpr DWORD ERROR_FILE_NOT_FOUND = 2;
constexpr DWORD ERROR_PATH_NOT_FOUND = 3;
constexpr DWORD ERROR_TOO_MANY_OPEN_FILES = 4;
constexpr DWORD ERROR_ACCESS_DENIED = 5;
constexpr DWORD ERROR_INVALID_HANDLE = 6;
constexpr DWORD ERROR_NOT_ENOUGH_MEMORY = 8;
constexpr DWORD ERROR_READ_FAULT = 30;
constexpr DWORD ERROR_NOT_SUPPORTED = 50;
constexpr DWORD ERROR_INVALID_PARAMETER = 87;
constexpr DWORD ERROR_INVALID_NAME = 123;
constexpr DWORD ERROR_FILENAME_EXCED_RANGE = 206;

// Opens `name`, a regular file; the open never blocks. Fails with
// ERROR_FILE_NOT_FOUND for a missing file, ERROR_ACCESS_DENIED for a
// directory, a FIFO, a device or an unreadable file, and
// ERROR_NOT_SUPPORTED for any access other than GENERIC_READ, any disposition
// other than OPEN_EXISTING, or extended parameters.
HANDLE CreateFile2(LPCWSTR name, DWORD access, DWORD share, DWORD disposition, void* extended);

BOOL GetFileSizeEx(HANDLE file, LARGE_INTEGER* size);

// Reads until `toRead` bytes arrived or the file ended; `*read` receives the
// count actually read (0 at the end of the file, which is not a failure).
// Overlapped I/O is not supported.
BOOL ReadFile(HANDLE file, void* buffer, DWORD toRead, DWORD* read, void* overlapped);

BOOL CloseHandle(HANDLE handle);

// The calling thread's last error code, set by the functions above on failure.
DWORD GetLastError();
void SetLastError(DWORD error);

// Test-only hooks of the stand-in; never used by the host.
namespace Win32FileTestHooks {

// While alive, every ReadFile call delivers at most `maxBytes` bytes in total,
// as when a file shrinks between sizing and reading it.
class ScopedReadFileLimit {
 public:
  explicit ScopedReadFileLimit(DWORD maxBytes);
  ~ScopedReadFileLimit();
  ScopedReadFileLimit(const ScopedReadFileLimit&) = delete;
  ScopedReadFileLimit& operator=(const ScopedReadFileLimit&) = delete;
};

// The number of handles opened by CreateFile2 and not yet closed.
std::size_t OpenFileHandleCount();

}  // namespace Win32FileTestHooks
