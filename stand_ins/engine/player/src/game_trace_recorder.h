// The game's trace lines join the platform trace, which keeps lines from the
// game's threads whole and in order: the line's "event" becomes the event's
// name, a "thread" member names the game's thread it came from (otherwise it
// is the thread that hands the line over), the rest are its fields. A line
// that is not a JSON object with an "event" name is kept as text
// ("game.trace").
#pragma once

namespace EnginePlayer {

// The GameTraceSink the player installs in GameAssembly.
void RecordGameTrace(const char* line);

}  // namespace EnginePlayer
