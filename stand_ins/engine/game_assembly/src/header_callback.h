// The title callback the host registered (thread-safe).
#pragma once

#include "game_assembly.h"

namespace GameAssembly {

HeaderUpdateCallbackFunction CurrentHeaderCallback();

// Shows `text` on the game's screen and calls the registered callback
// with it (nothing when none is registered).
void SetWindowTitle(const char* text);

}  // namespace GameAssembly
