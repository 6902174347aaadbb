// A look at the outbox's write-ahead log before SQLite reads it. SQLite
// uses a log up to its first frame that fails its checksum, and none of it
// when the log's header is damaged, without a word: the requests stored in
// the frames it leaves out are lost. This finds such damage so that it can
// be reported.
#pragma once

#include <cstdint>
#include <string>

namespace Delivery {

struct LogDamage {
  std::string description;  // "" when none
  // At most this many committed transactions are left out.
  std::int64_t lostTransactions = 0;
};

// The damage in the log at `walPath` that makes SQLite leave out committed
// transactions: a damaged header in front of frames, or a frame of the
// current log that fails its checksum with a committing frame after it.
// None for a missing or empty log, or one whose end was cut short in the
// middle of a transaction, which was never committed.
LogDamage FindLogDamage(const std::string& walPath);

// Whether another process has the database `path` open (it holds a lock in
// the database's shared-memory file). The check opens and closes that file,
// which would drop this process's own locks on it: only for a database this
// process has no connection to.
bool OpenedByAnotherProcess(const std::string& path);

}  // namespace Delivery
