// Options the host program gives the engine before the application starts.
#pragma once

#include <string>

namespace EnginePlayer {

struct EngineOptions {
  // The collector the game sends its analytics requests to (an http or
  // https base address); empty: the requests are only traced.
  std::string collectorUrl;
};

// Hands the options to the game in GameAssembly. Throws
// std::invalid_argument, with the game's reason, for an option it refuses.
void ApplyEngineOptions(const EngineOptions& options);

}  // namespace EnginePlayer
