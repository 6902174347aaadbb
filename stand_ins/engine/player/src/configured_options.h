// The engine options last applied (the defaults before any), for the player.
#pragma once

#include "engine_player/engine_options.h"

namespace EnginePlayer {

EngineOptions ConfiguredOptions();

}  // namespace EnginePlayer
