#include "idempotency_key.h"

#include <sys/random.h>

#include <cstdint>
#include <cstdio>
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
  char text[37];
  std::snprintf(text, sizeof text,
                "%02x%02x%02x%02x-%02x%02x-%02x%02x-%02x%02x-%02x%02x%02x%02x%02x%02x", bytes[0],
                bytes[1], bytes[2], bytes[3], bytes[4], bytes[5], bytes[6], bytes[7], bytes[8],
                bytes[9], bytes[10], bytes[11], bytes[12], bytes[13], bytes[14], bytes[15]);
  return text;
}

}  // namespace Delivery
