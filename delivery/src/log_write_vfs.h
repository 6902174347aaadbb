// The file layer under the outbox's SQLite connections: SQLite's own, except
// that a short write to a write-ahead log (a frame's header) is held back
// and written with the write that follows it (the frame's page), so that a
// stored request costs one system call per page instead of two.
#pragma once

namespace Delivery {

// The name to open a database with to use this layer; registered with
// SQLite on first use.
const char* LogWriteVfsName();

}  // namespace Delivery
