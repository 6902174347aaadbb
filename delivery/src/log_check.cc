#include "log_check.h"

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cstdint>
#include <vector>

namespace Delivery {
namespace {

// The log's layout (SQLite's file format): a 32-byte header, then frames of
// a 24-byte header and a page each.
constexpr int kLogHeaderSize = 32;
constexpr int kFrameHeaderSize = 24;
constexpr std::uint32_t kMagicLittleEndian = 0x377f0682;
constexpr std::uint32_t kMagicBigEndian = 0x377f0683;
constexpr std::uint32_t kLogVersion = 3007000;

// SQLite's locks in the shared-memory file: bytes 120 to 128, the last the
// one every connection holds while it has the file open.
constexpr off_t kShmLocksStart = 120;
constexpr off_t kShmLocksLength = 9;

std::uint32_t BigEndian32(const unsigned char* bytes) {
  return (std::uint32_t{bytes[0]} << 24) | (std::uint32_t{bytes[1]} << 16) |
         (std::uint32_t{bytes[2]} << 8) | bytes[3];
}

// SQLite's log checksum: a running pair of sums over 32-bit words, read in
// the byte order the log's magic number names.
class Checksum {
 public:
  Checksum(bool bigEndian, std::uint32_t first, std::uint32_t second)
      : bigEndian(bigEndian), sums{first, second} {}
  void Add(const unsigned char* bytes, std::size_t size) {
    for (std::size_t i = 0; i + 8 <= size; i += 8) {
      sums[0] += Word(bytes + i) + sums[1];
      sums[1] += Word(bytes + i + 4) + sums[0];
    }
  }
  bool Matches(const unsigned char* stored) const {
    return BigEndian32(stored) == sums[0] && BigEndian32(stored + 4) == sums[1];
  }
  std::uint32_t First() const { return sums[0]; }
  std::uint32_t Second() const { return sums[1]; }

 private:
  std::uint32_t Word(const unsigned char* bytes) const {
    if (bigEndian) return BigEndian32(bytes);
    return std::uint32_t{bytes[0]} | (std::uint32_t{bytes[1]} << 8) |
           (std::uint32_t{bytes[2]} << 16) | (std::uint32_t{bytes[3]} << 24);
  }
  bool bigEndian;
  std::array<std::uint32_t, 2> sums;
};

class OpenFile {
 public:
  explicit OpenFile(const std::string& path, int flags)
      : fd(open(path.c_str(), flags | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK)) {}
  ~OpenFile() {
    if (fd >= 0) close(fd);
  }
  OpenFile(const OpenFile&) = delete;
  OpenFile& operator=(const OpenFile&) = delete;
  bool Read(void* target, std::size_t size, off_t offset) const {
    return fd >= 0 && pread(fd, target, size, offset) == static_cast<ssize_t>(size);
  }
  off_t Size() const { return fd >= 0 ? lseek(fd, 0, SEEK_END) : 0; }
  int fd;
};

bool ValidPageSize(std::uint32_t size) {
  return size >= 512 && size <= 65536 && (size & (size - 1)) == 0;
}

}  // namespace

LogDamage FindLogDamage(const std::string& walPath) {
  const OpenFile log(walPath, O_RDONLY);
  const off_t size = log.Size();
  unsigned char header[kLogHeaderSize];
  if (size < kLogHeaderSize || !log.Read(header, sizeof header, 0)) return {};
  const std::uint32_t magic = BigEndian32(header);
  const std::uint32_t pageSize = BigEndian32(header + 8);
  Checksum headerSum(magic == kMagicBigEndian, 0, 0);
  headerSum.Add(header, 24);
  const bool headerValid = (magic == kMagicLittleEndian || magic == kMagicBigEndian) &&
                           BigEndian32(header + 4) == kLogVersion && ValidPageSize(pageSize) &&
                           headerSum.Matches(header + 24);
  if (!headerValid) {
    constexpr off_t kSmallestFrame = kFrameHeaderSize + 512;
    if (size < kLogHeaderSize + kSmallestFrame) return {};
    return {"the log's header is damaged: none of the " + std::to_string(size - kLogHeaderSize) +
                " bytes of transactions after it is used",
            (size - kLogHeaderSize) / kSmallestFrame};
  }
  const off_t frameSize = kFrameHeaderSize + static_cast<off_t>(pageSize);
  std::vector<unsigned char> frame(static_cast<std::size_t>(frameSize));
  Checksum running(magic == kMagicBigEndian, headerSum.First(), headerSum.Second());
  std::int64_t damagedFrame = 0, committedAfter = 0, number = 0;
  for (off_t offset = kLogHeaderSize; offset + frameSize <= size; offset += frameSize) {
    ++number;
    if (!log.Read(frame.data(), frame.size(), offset)) break;
    // A frame left from an earlier round of the log (other salts) ends this one.
    if (BigEndian32(frame.data() + 8) != BigEndian32(header + 16) ||
        BigEndian32(frame.data() + 12) != BigEndian32(header + 20)) {
      break;
    }
    const bool commits = BigEndian32(frame.data() + 4) != 0;
    if (damagedFrame > 0) {
      committedAfter += commits ? 1 : 0;
      continue;
    }
    running.Add(frame.data(), 8);
    running.Add(frame.data() + kFrameHeaderSize, pageSize);
    if (!running.Matches(frame.data() + 16)) damagedFrame = number;
  }
  if (damagedFrame == 0 || committedAfter == 0) return {};
  // The damaged frame may be the one that commits its own transaction.
  return {"the log is damaged at frame " + std::to_string(damagedFrame) + ": the " +
              std::to_string(committedAfter) + " transactions committed after it are not used",
          committedAfter + 1};
}

bool OpenedByAnotherProcess(const std::string& path) {
  const OpenFile shm(path + "-shm", O_RDONLY);
  if (shm.fd < 0) return false;
  struct flock probe {};
  probe.l_type = F_WRLCK;
  probe.l_whence = SEEK_SET;
  probe.l_start = kShmLocksStart;
  probe.l_len = kShmLocksLength;
  if (fcntl(shm.fd, F_GETLK, &probe) != 0) return true;  // unknown: assume so
  return probe.l_type != F_UNLCK;
}

}  // namespace Delivery
