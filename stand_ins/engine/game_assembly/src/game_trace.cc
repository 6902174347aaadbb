#include "game_trace.h"

#include <atomic>

namespace GameAssembly {
namespace {
std::atomic<GameTraceSink> traceSink{nullptr};
}

void SetTraceSink(GameTraceSink sink) { traceSink = sink; }

void Trace(const std::string& line) {
  if (auto sink = traceSink.load()) sink(line.c_str());
}

}  // namespace GameAssembly
