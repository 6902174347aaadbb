// Reading the package's files (internal to the stand-in). As on the
// platform, only regular files are opened: a folder, a FIFO or a device is
// refused, and the open itself never blocks (a FIFO with no writer cannot
// hold up the reader).
#pragma once

#include <cstdint>
#include <string>

namespace Platform::Internal {

// Why a file could not be opened or read.
struct FileProblem {
  int error = 0;            // errno; 0 when notRegular
  bool notRegular = false;  // opened, but not a regular file (nor a folder)
  // "file not found", "a folder, not a file", "not a regular file", or the
  // system's text for the error.
  std::string Describe() const;
};

// A read-only descriptor (close-on-exec, blocking reads) of the regular
// file at `path`, or -1 with `problem` set.
int OpenRegularFile(const std::string& path, FileProblem& problem);

struct FileBytes {
  bool ok = false;
  std::string bytes;       // the whole file when ok
  std::uint64_t size = 0;  // the file's size, also when it is too large
  bool tooLarge = false;   // larger than the limit: nothing was read
  FileProblem problem;     // when neither ok nor tooLarge
};

// The whole regular file at `path`, unless it is larger than `maxBytes`.
FileBytes ReadRegularFile(const std::string& path, std::uint64_t maxBytes);

}  // namespace Platform::Internal
