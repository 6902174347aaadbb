#include "engine_player/engine_options.h"

#include <stdexcept>

#include "game_assembly.h"

namespace EnginePlayer {

void ApplyEngineOptions(const EngineOptions& options) {
  char reason[512] = "";
  if (!GameAssembly_SetCollector(options.collectorUrl.c_str(), reason, sizeof reason)) {
    throw std::invalid_argument(reason);
  }
}

}  // namespace EnginePlayer
