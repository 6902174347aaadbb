#include "engine_player/engine_options.h"

#include <mutex>
#include <stdexcept>

#include "configured_options.h"
#include "game_assembly.h"

namespace EnginePlayer {
namespace {

struct Configured {
  std::mutex mutex;
  EngineOptions options;
};

Configured& TheConfigured() {
  static Configured configured;
  return configured;
}

}  // namespace

void ApplyEngineOptions(const EngineOptions& options) {
  if (options.startupTime.count() < 0) throw std::invalid_argument("negative start-up time");
  if (options.framePeriod.count() < 0) throw std::invalid_argument("negative frame period");
  if (options.consent != "given" && options.consent != "denied" && options.consent != "pending") {
    throw std::invalid_argument("consent is given, denied or pending, not \"" + options.consent +
                                "\"");
  }
  char reason[512] = "";
  if (!GameAssembly_CheckEnvironment(reason, sizeof reason)) throw GameEnvironmentError(reason);
  if (!GameAssembly_SetCollector(options.collectorUrl.c_str(), options.outboxFolder.c_str(), reason,
                                 sizeof reason)) {
    throw std::invalid_argument(reason);
  }
  // Cannot fail once the names were checked above.
  GameAssembly_SetConsent(options.consent.c_str(), nullptr, 0);
  std::lock_guard<std::mutex> lock(TheConfigured().mutex);
  TheConfigured().options = options;
}

EngineOptions ConfiguredOptions() {
  std::lock_guard<std::mutex> lock(TheConfigured().mutex);
  return TheConfigured().options;
}

std::int64_t RequestsNotDeliveredByGame() { return GameAssembly_RequestsNotDelivered(); }

}  // namespace EnginePlayer
