#include "idempotency_key.h"

#include <pthread.h>
#include <sys/random.h>

#include <cstdint>
#include <cstring>
#include <random>

namespace Delivery {
namespace {

// Random bytes for the next keys of this thread, taken from the system 16
// keys at a time (one system call instead of one per key). A child process
// starts with none: it must not reuse its parent's.
struct RandomPool {
  std::uint8_t bytes[16 * 16];
  std::size_t used = sizeof bytes;
};
thread_local RandomPool pool;

void FillRandom(std::uint8_t (&bytes)[16]) {
  static const int forgetInChild =
      pthread_atfork(nullptr, nullptr, [] { pool.used = sizeof pool.bytes; });
  (void)forgetInChild;
  if (pool.used == sizeof pool.bytes &&
      getrandom(pool.bytes, sizeof pool.bytes, 0) == static_cast<ssize_t>(sizeof pool.bytes)) {
    pool.used = 0;
  }
  if (pool.used + sizeof bytes <= sizeof pool.bytes) {
    std::memcpy(bytes, pool.bytes + pool.used, sizeof bytes);
    std::memset(pool.bytes + pool.used, 0, sizeof bytes);  // handed out once
    pool.used += sizeof bytes;
    return;
  }
  std::random_device device;
  for (std::uint8_t& byte : bytes) byte = static_cast<std::uint8_t>(device());
}

}  // namespace

std::string NewIdempotencyKey() {
  std::uint8_t bytes[16];
  FillRandom(bytes);
  bytes[6] = static_cast<std::uint8_t>((bytes[6] & 0x0f) | 0x40);  // version 4
  bytes[8] = static_cast<std::uint8_t>((bytes[8] & 0x3f) | 0x80);  // RFC 4122 variant
  // xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx, lower-case hex
  static constexpr char kHex[] = "0123456789abcdef";
  std::string text;
  text.reserve(36);
  for (int i = 0; i < 16; ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10) text += '-';
    text += kHex[bytes[i] >> 4];
    text += kHex[bytes[i] & 0x0f];
  }
  return text;
}

}  // namespace Delivery
