#include "idempotency_key.h"

#include <sys/random.h>

#include <cstdint>
#include <random>

namespace Delivery {
namespace {

void FillRandom(std::uint8_t (&bytes)[16]) {
  if (getrandom(bytes, sizeof bytes, 0) == static_cast<ssize_t>(sizeof bytes)) return;
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
