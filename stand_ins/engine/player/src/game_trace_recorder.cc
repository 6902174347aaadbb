#include "game_trace_recorder.h"

#include "platform/stand_in/trace.h"

namespace EnginePlayer {

void RecordGameTrace(const char* line) {
  try {
    auto event =
        Platform::Trace::Event::parse(line ? line : "", nullptr, /*allow_exceptions=*/false);
    auto name = event.find("event");
    if (name == event.end() || !name->is_string()) {
      Platform::Trace::Record("game.trace", {{"text", line ? line : ""}});
      return;
    }
    const std::string eventName = *name;
    event.erase(name);
    Platform::Trace::Record(eventName, event);
  } catch (...) {
    // The game's thread must not see the trace's trouble.
  }
}

}  // namespace EnginePlayer
