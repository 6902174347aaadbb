// Well-formed UTF-8 as RFC 3629 defines it (and nlohmann json checks it):
// no overlong forms, no surrogates, nothing above U+10FFFF.
#pragma once

#include <cstddef>

namespace Ostrel {

struct Utf8Sequence {
  std::size_t length;  // bytes it covers
  bool valid;
};

// The sequence that starts with the non-ASCII byte at `p`. A well-formed one
// covers all its bytes. An ill-formed one covers its lead byte and the
// continuation bytes that fitted; the first byte that does not fit starts
// the next sequence (a stray lead byte covers itself only).
inline Utf8Sequence ScanUtf8(const unsigned char* p, const unsigned char* end) {
  const unsigned char lead = *p;
  std::size_t length = 0;
  unsigned char low = 0x80;  // range of the second byte; later ones are 80..BF
  unsigned char high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;   // no overlong forms
    if (lead == 0xED) high = 0x9F;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;   // no overlong forms
    if (lead == 0xF4) high = 0x8F;  // nothing above U+10FFFF
  } else {
    return {1, false};
  }
  for (std::size_t i = 1; i < length; ++i) {
    if (p + i == end || p[i] < low || p[i] > high) return {i, false};
    low = 0x80;
    high = 0xBF;
  }
  return {length, true};
}

}  // namespace Ostrel
