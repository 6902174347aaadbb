// The end of the trace (internal to the stand-in).
#pragma once

#include <string>

#include "platform/stand_in/trace.h"

namespace Platform::Internal {

// Records the application's last line; nothing is recorded after it until
// Trace::Clear.
void RecordFinalEvent(const std::string& name, const Trace::Event& fields = Trace::Event::object());

}  // namespace Platform::Internal
