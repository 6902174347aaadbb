// What left the outbox without being delivered, as ranges of the stream's
// numbers kept until the collector has acknowledged them, and the
// Ostrel-Dropped header line that tells it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace Delivery {

// The end of a range that covers every number from its first on.
inline constexpr std::int64_t kOpenEnd = INT64_MAX;

// At most this many ranges go out in one header line (the oldest first);
// the rest follow once those are acknowledged, so the line stays small.
inline constexpr std::size_t kMaxNoticeRanges = 64;

struct UnreportedRange {
  std::int64_t row = 0;  // its row in the outbox, for the acknowledgement
  std::string reason;    // "count", "bytes", "age", "rejected", "consent" or "damaged"
  std::string stream;    // "damaged": the stream the numbers are of; otherwise ""
  std::int64_t first = 0;
  std::int64_t last = 0;  // kOpenEnd: open-ended
  bool operator==(const UnreportedRange& other) const {
    return row == other.row && reason == other.reason && stream == other.stream &&
           first == other.first && last == other.last;
  }
};

// The value of the Ostrel-Dropped header line for `ranges`: the reasons in
// the order they first appear, each with its ranges in the order given,
// "<reason>=<n>[-<m>][,...]" joined by ";"; "damaged=<stream>:<ranges>",
// where an open-ended range reads "<n>-". "" for no ranges.
std::string DroppedNotice(const std::vector<UnreportedRange>& ranges);

}  // namespace Delivery
