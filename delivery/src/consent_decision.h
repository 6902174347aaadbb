// The player's last decision made through one outbox handle, shared by the
// caller's calls and the sender until the outbox on disk holds it (writing
// it can fail: a full disk, a folder that cannot be written). Meanwhile it
// stands for this handle: a denial stores and sends nothing.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>

#include "outbox_store.h"

namespace Delivery {

struct ConsentDecision {
  // Held by whoever writes the decision (the caller's SetConsent, or the
  // sender retrying it), so that an older decision never overwrites a
  // newer one.
  std::mutex writing;
  // The decision not yet in the outbox; Undecided when none is owed.
  std::atomic<Consent> unwritten{Consent::Undecided};
  // Counts the denials made through this handle: a transfer the sender
  // started under an earlier count is abandoned.
  std::atomic<std::uint64_t> denials{0};
};

// Writes the decision `decision` still owes to `store`; returns the
// requests a denial deleted (nothing when no denial was written). Call
// holding decision.writing. Throws StoreError (the decision stays owed).
inline std::optional<std::int64_t> WriteOwedDecision(ConsentDecision& decision,
                                                     OutboxStore& store) {
  std::optional<std::int64_t> purged;
  const Consent owed = decision.unwritten;
  if (owed == Consent::Denied) purged = store.DenyConsent();
  if (owed == Consent::Given) store.GiveConsent();
  decision.unwritten = Consent::Undecided;
  return purged;
}

}  // namespace Delivery
