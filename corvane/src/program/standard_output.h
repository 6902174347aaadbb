// The program's standard output, with its failures handled once: a write
// that fails is said once on standard error ("corvane: cannot write to
// standard output: REASON") and nothing more is written; a reader that has
// closed the pipe ends the program quietly, by SIGPIPE, as other tools end.
#pragma once

#include <functional>
#include <string_view>

namespace Corvane {

// Makes descriptors 0, 1 and 2 open (on /dev/null where they are not), so
// no file the program opens later takes their place. Call first in main.
void EnsureStandardDescriptors();

// Writes and flushes `text`; false when standard output has failed (now or
// before). The first failure calls `onFailure`, if set (from the writing
// thread).
bool WriteStandardOutput(std::string_view text);
void OnStandardOutputFailure(std::function<void()> onFailure);

// Flushes what stdio holds for standard output; false when it has failed.
bool FlushStandardOutput();

bool StandardOutputFailed();

}  // namespace Corvane
