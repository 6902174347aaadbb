// Options the host program gives the engine before the application starts.
#pragma once

#include <chrono>
#include <cstdint>
#include <stdexcept>
#include <string>

namespace EnginePlayer {

struct EngineOptions {
  // The collector the game sends its analytics requests to (an http or
  // https address: scheme, host, port); empty: the requests are only traced.
  std::string collectorUrl;
  // The folder of the outbox the requests wait in until delivered.
  std::string outboxFolder;
  // The player's consent the game hands the delivery library: "given",
  // "denied" or "pending" (see GameAssembly_SetConsent).
  std::string consent = "given";
  // The player's start-up: from the window being shown to the game's first
  // frame, whose drawing raises rendering-started.
  std::chrono::milliseconds startupTime{400};
  // The pace of the game's frames: one frame starts every period (0: each
  // frame right after the one before).
  std::chrono::milliseconds framePeriod{16};
};

// A variable of the game's environment holds a value the game cannot use
// (GameAssembly_CheckEnvironment); what() names it.
class GameEnvironmentError : public std::invalid_argument {
 public:
  using std::invalid_argument::invalid_argument;
};

// Checks the game's environment, hands the collector and the player's
// consent to the game in GameAssembly and keeps the timing for the players
// that start from then on. Throws GameEnvironmentError for the environment, and
// std::invalid_argument, with the reason, for an option the game refuses or
// a negative time; nothing is applied then.
void ApplyEngineOptions(const EngineOptions& options);

// Requests the game's last run did not deliver (kept for a later run or
// lost); 0 when all were delivered.
std::int64_t RequestsNotDeliveredByGame();

}  // namespace EnginePlayer
