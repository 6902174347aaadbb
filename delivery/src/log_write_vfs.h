// The file layer under the outbox's SQLite connections: SQLite's own, except
// that the frames a transaction appends to the write-ahead log (a header and
// a page each, which SQLite writes separately) go to the file together when
// the transaction commits: a stored request costs one system call (per
// 64 KiB) instead of two per page.
#pragma once

namespace Delivery {

// The name to open a database with to use this layer; registered with
// SQLite on first use. Null (SQLite's own layer) after
// UseLogWriteBatching(false).
const char* LogWriteVfsName();

// For the benchmark that prices this layer: whether connections opened from
// now on use it (the default) or SQLite's own.
void UseLogWriteBatching(bool use);

}  // namespace Delivery
