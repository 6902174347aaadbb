#include "game_trace.h"

#include <atomic>
#include <nlohmann/json.hpp>

namespace GameAssembly {
namespace {
std::atomic<GameTraceSink> traceSink{nullptr};
}

void SetTraceSink(GameTraceSink sink) { traceSink = sink; }

void Trace(const std::string& line) {
  if (auto sink = traceSink.load()) sink(line.c_str());
}

void TraceFromThread(const std::string& line, const char* thread) {
  auto named = nlohmann::ordered_json::parse(line, nullptr, /*allow_exceptions=*/false);
  if (!named.is_object()) return Trace(line);
  named["thread"] = thread;
  Trace(named.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace));
}

}  // namespace GameAssembly
