#include "log_write_vfs.h"

#include <sqlite3.h>

#include <atomic>
#include <new>
#include <string>
#include <type_traits>

namespace Delivery {
namespace {

// A log frame: a 24-byte header, written on its own, then the page. The
// header's second field (big-endian) is 0 except in the frame that commits
// a transaction.
constexpr int kFrameHeaderSize = 24;

// At most this much is held: a large transaction goes in several writes.
// (SQLite's own layer writes at most 128 KiB at once.)
constexpr std::size_t kHeldLimit = 64 * 1024;

// SQLite's file object wrapped: `real` is SQLite's own, in the memory that
// follows this one. A log's frames are held while each follows the one
// before, and written with one system call together with the page of the
// frame that commits the transaction: before that write returns, and so
// before SQLite publishes the transaction to other connections. Any other
// write, and every other call, first writes what is held, so that SQLite
// never sees the difference.
struct LogWriteFile {
  sqlite3_file base;
  sqlite3_file* real;
  bool log;
  std::string held;  // bytes not written yet, at heldOffset
  sqlite3_int64 heldOffset = 0;
  bool pageMayWait = false;  // the last write was the header of a frame that commits nothing
};

constexpr int kRealOffset = (sizeof(LogWriteFile) + 7) & ~7;

sqlite3_vfs* Base() {
  static sqlite3_vfs* const base = sqlite3_vfs_find(nullptr);
  return base;
}

LogWriteFile* Wrapped(sqlite3_file* file) { return reinterpret_cast<LogWriteFile*>(file); }
sqlite3_file* Real(sqlite3_file* file) { return Wrapped(file)->real; }

int WriteHeld(LogWriteFile* file) {
  if (file->held.empty()) return SQLITE_OK;
  const int code = file->real->pMethods->xWrite(
      file->real, file->held.data(), static_cast<int>(file->held.size()), file->heldOffset);
  file->held.clear();
  return code;
}

bool CommitsTransaction(const unsigned char* frameHeader) {
  return (frameHeader[4] | frameHeader[5] | frameHeader[6] | frameHeader[7]) != 0;
}

int Write(sqlite3_file* handle, const void* data, int amount, sqlite3_int64 offset) {
  LogWriteFile* file = Wrapped(handle);
  if (!file->log) return file->real->pMethods->xWrite(file->real, data, amount, offset);
  if (offset != file->heldOffset + static_cast<sqlite3_int64>(file->held.size()) ||
      file->held.size() + static_cast<std::size_t>(amount) > kHeldLimit) {
    const int code = WriteHeld(file);
    if (code != SQLITE_OK) return code;
  }
  const bool frameHeader = amount == kFrameHeaderSize;
  const bool wait = frameHeader || file->pageMayWait;
  file->pageMayWait = frameHeader && !CommitsTransaction(static_cast<const unsigned char*>(data));
  if (!wait && file->held.empty()) {
    return file->real->pMethods->xWrite(file->real, data, amount, offset);
  }
  if (file->held.empty()) file->heldOffset = offset;
  file->held.append(static_cast<const char*>(data), static_cast<std::size_t>(amount));
  return wait ? SQLITE_OK : WriteHeld(file);
}

int Close(sqlite3_file* handle) {
  LogWriteFile* file = Wrapped(handle);
  int code = WriteHeld(file);
  const int closed = file->real->pMethods->xClose(file->real);
  file->~LogWriteFile();
  return code != SQLITE_OK ? code : closed;
}

// Every other call: what is held is written first.
template <typename Result, typename... Args>
struct Forward {
  template <Result (*sqlite3_io_methods::*method)(sqlite3_file*, Args...)>
  static Result Call(sqlite3_file* handle, Args... args) {
    const int code = WriteHeld(Wrapped(handle));
    if constexpr (std::is_same_v<Result, int>) {
      if (code != SQLITE_OK) return code;
    }
    return (Real(handle)->pMethods->*method)(Real(handle), args...);
  }
};

sqlite3_io_methods LogMethods(int version) {
  sqlite3_io_methods methods{};
  methods.iVersion = version;
  methods.xClose = Close;
  methods.xRead = Forward<int, void*, int, sqlite3_int64>::Call<&sqlite3_io_methods::xRead>;
  methods.xWrite = Write;
  methods.xTruncate = Forward<int, sqlite3_int64>::Call<&sqlite3_io_methods::xTruncate>;
  methods.xSync = Forward<int, int>::Call<&sqlite3_io_methods::xSync>;
  methods.xFileSize = Forward<int, sqlite3_int64*>::Call<&sqlite3_io_methods::xFileSize>;
  methods.xLock = Forward<int, int>::Call<&sqlite3_io_methods::xLock>;
  methods.xUnlock = Forward<int, int>::Call<&sqlite3_io_methods::xUnlock>;
  methods.xCheckReservedLock = Forward<int, int*>::Call<&sqlite3_io_methods::xCheckReservedLock>;
  methods.xFileControl = Forward<int, int, void*>::Call<&sqlite3_io_methods::xFileControl>;
  methods.xSectorSize = Forward<int>::Call<&sqlite3_io_methods::xSectorSize>;
  methods.xDeviceCharacteristics = Forward<int>::Call<&sqlite3_io_methods::xDeviceCharacteristics>;
  if (version >= 2) {
    methods.xShmMap =
        Forward<int, int, int, int, void volatile**>::Call<&sqlite3_io_methods::xShmMap>;
    methods.xShmLock = Forward<int, int, int, int>::Call<&sqlite3_io_methods::xShmLock>;
    methods.xShmBarrier = Forward<void>::Call<&sqlite3_io_methods::xShmBarrier>;
    methods.xShmUnmap = Forward<int, int>::Call<&sqlite3_io_methods::xShmUnmap>;
  }
  if (version >= 3) {
    methods.xFetch = Forward<int, sqlite3_int64, int, void**>::Call<&sqlite3_io_methods::xFetch>;
    methods.xUnfetch = Forward<int, sqlite3_int64, void*>::Call<&sqlite3_io_methods::xUnfetch>;
  }
  return methods;
}

int Open(sqlite3_vfs*, sqlite3_filename name, sqlite3_file* handle, int flags, int* outFlags) {
  char* memory = reinterpret_cast<char*>(handle);
  sqlite3_file* real = reinterpret_cast<sqlite3_file*>(memory + kRealOffset);
  const int code = Base()->xOpen(Base(), name, real, flags, outFlags);
  if (real->pMethods == nullptr) {
    handle->pMethods = nullptr;
    return code;
  }
  static const sqlite3_io_methods methods[] = {LogMethods(1), LogMethods(2), LogMethods(3)};
  LogWriteFile* file = new (memory) LogWriteFile;
  file->real = real;
  file->log = (flags & SQLITE_OPEN_WAL) != 0;
  const int version = real->pMethods->iVersion < 1   ? 1
                      : real->pMethods->iVersion > 3 ? 3
                                                     : real->pMethods->iVersion;
  handle->pMethods = &methods[version - 1];
  return code;
}

sqlite3_vfs* Register() {
  static sqlite3_vfs vfs = [] {
    sqlite3_vfs wrapped = *Base();
    wrapped.szOsFile = kRealOffset + Base()->szOsFile;
    wrapped.zName = "ostrel-outbox";
    wrapped.pNext = nullptr;
    wrapped.xOpen = Open;
    return wrapped;
  }();
  sqlite3_vfs_register(&vfs, /*makeDflt=*/0);
  return &vfs;
}

}  // namespace

namespace {
std::atomic<bool> batching{true};
}  // namespace

const char* LogWriteVfsName() {
  static sqlite3_vfs* const vfs = Register();
  return batching ? vfs->zName : nullptr;
}

void UseLogWriteBatching(bool use) { batching = use; }

}  // namespace Delivery
