// The title callback the host registered (thread-safe).
#pragma once

#include "game_assembly.h"

namespace GameAssembly {

HeaderUpdateCallbackFunction CurrentHeaderCallback();

// Calls the registered callback with `text`; does nothing when none is.
void SetWindowTitle(const char* text);

}  // namespace GameAssembly
