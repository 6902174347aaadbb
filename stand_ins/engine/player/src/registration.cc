// Linked into a program, registers the player's runtime class when the
// program loads, as the system's registration makes it activatable.
#include "engine_player/app_callbacks.h"

namespace {
const bool registered = (EnginePlayer::RegisterAppCallbacks(), true);
}
