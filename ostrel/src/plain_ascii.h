// The bytes a JSON string holds as they are: ASCII from 0x20 up, except the
// quotation mark and the backslash. Anything else needs work: escaping when
// a string is written, checking when one is read.
#pragma once

#include <cstdint>
#include <cstring>
#include <string_view>

namespace Ostrel {

// True when one of the eight bytes of `word` needs more than a copy: a byte
// below 0x20, a quotation mark, a backslash, or one of 0x80 and above. The
// three tests find whether such a byte is there, not where.
constexpr bool NeedsWork(std::uint64_t word) {
  constexpr std::uint64_t kOnes = 0x0101010101010101u;
  constexpr std::uint64_t kHigh = 0x8080808080808080u;
  const auto hasByteBelow = [](std::uint64_t x, std::uint64_t n) { return (x - kOnes * n) & ~x; };
  const std::uint64_t below = hasByteBelow(word, 0x20) | hasByteBelow(word ^ (kOnes * '"'), 1) |
                              hasByteBelow(word ^ (kOnes * '\\'), 1);
  return ((below | word) & kHigh) != 0;
}

struct PlainTable {
  bool plain[0x100];
};

constexpr PlainTable MakePlainTable() {
  PlainTable table{};
  for (int byte = 0x20; byte < 0x80; ++byte) table.plain[byte] = byte != '"' && byte != '\\';
  return table;
}

inline constexpr PlainTable kPlainTable = MakePlainTable();

// The end of the run of ASCII bytes from `p` on that are copied unchanged:
// eight at a time while none of them needs work, then one by one.
inline const unsigned char* SkipPlain(const unsigned char* p, const unsigned char* end) {
  for (; end - p >= 8; p += 8) {
    std::uint64_t word;
    std::memcpy(&word, p, sizeof word);
    if (NeedsWork(word)) break;
  }
  while (p != end && kPlainTable.plain[*p]) ++p;
  return p;
}

// True when every byte of `text` is plain ASCII, copied unchanged: eight at a
// time, the last eight overlapping the ones before.
inline bool AllPlain(std::string_view text) {
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const auto* const end = p + text.size();
  if (text.size() < 8) return SkipPlain(p, end) == end;
  std::uint64_t word;
  for (; end - p > 8; p += 8) {
    std::memcpy(&word, p, sizeof word);
    if (NeedsWork(word)) return false;
  }
  std::memcpy(&word, end - 8, sizeof word);
  return !NeedsWork(word);
}

}  // namespace Ostrel
