// The corvane program's exit statuses: what main returns and --help lists.
// When several apply: Failure, then OutputFailed, then ClosedBySignal, then
// RequestsKept.
#pragma once

#include <string>

namespace Corvane {

enum class ExitStatus : int {
  Success = 0,
  Failure = 1,
  Usage = 2,
  RequestsKept = 3,
  OutputFailed = 4,
  // Plus the signal's number: 129 for SIGHUP, 130 for SIGINT, 143 for SIGTERM.
  ClosedBySignal = 128,
};

struct ExitStatusMeaning {
  ExitStatus status;
  const char* label;    // "0", "128+N", ...
  const char* meaning;  // lines separated by '\n'
};

// Every status, in numeric order.
extern const ExitStatusMeaning kExitStatuses[6];

inline int Code(ExitStatus status) { return static_cast<int>(status); }
// ClosedBySignal plus the signal's number.
inline int ClosedBySignalCode(int signal) { return Code(ExitStatus::ClosedBySignal) + signal; }

}  // namespace Corvane
