// The outbox database's tables, and the step that brings an outbox of the
// first version (requests without numbers, no stream) up to this one.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "sqlite_database.h"

namespace Delivery {

// A stream that came to an end with its file (moved aside, damaged,
// removed): its id and the first of its numbers that may not have been
// delivered.
struct EndedStream {
  std::string id;
  std::int64_t first = 1;
};

// Creates what is missing and brings an earlier version's outbox up to
// this one, in one transaction (another connection doing the same waits
// and finds it done): a stream with a new random id, and the requests
// already stored numbered 1, 2, 3, ... in storage order. The numbers of
// `ended`, when given, from its first on, are kept to be reported as
// damaged. Throws StoreError.
void PrepareSchema(Database& database, const std::optional<EndedStream>& ended);

// What a database that fails its check still tells of its stream; nothing
// when not even its id can be read.
std::optional<EndedStream> ReadEndedStream(Database& database);

}  // namespace Delivery
