// The game's trace: one JSON object per line, handed to the sink the
// engine's player installed (the player records it in the platform trace,
// which keeps lines from several threads whole and in order).
#pragma once

#include <string>

#include "game_assembly.h"

namespace GameAssembly {

void SetTraceSink(GameTraceSink sink);

// Hands `line` to the sink; does nothing when none is installed.
void Trace(const std::string& line);

}  // namespace GameAssembly
