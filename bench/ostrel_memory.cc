// Heap bytes the library holds per buffered event and per queued message,
// for the benchmark session's realistic context and events: the growth of
// the bytes glibc's malloc has handed out (mallinfo2), which counts every
// allocation, the chunk headers included, whichever interface made it
// (operator new, or the realloc the queued messages grow with).
#include <malloc.h>

#include <cstdio>

#include "game_session.h"
#include "request_queue.h"

namespace {

std::size_t HeldBytes() {
  const struct mallinfo2 info = mallinfo2();
  return info.uordblks + info.hblkhd;
}

// Held bytes per call of `action`, over `count` calls.
template <typename Action>
double BytesPerCall(int count, Action action) {
  const std::size_t before = HeldBytes();
  for (int i = 0; i < count; ++i) action();
  return static_cast<double>(HeldBytes() - before) / count;
}

}  // namespace

int main() {
  constexpr int kEvents = 30000;  // buffered without an HTTP client: no flush
  std::printf("Heap held per buffered event (%d events each):\n", kEvents);
  const struct {
    const char* name;
    void (*record)(GameSession::CorePlayer&);
  } kinds[] = {
      {"Levelup", [](GameSession::CorePlayer& player) { player.LevelUp(7); }},
      {"Start_loading", [](GameSession::CorePlayer& player) { player.StartLoading(); }},
      {"Purchase", [](GameSession::CorePlayer& player) { player.Purchase(); }},
      {"custom, 3 values", [](GameSession::CorePlayer& player) { player.Custom(); }},
  };
  for (const auto& kind : kinds) {
    GameSession::CorePlayer player(nullptr);
    std::printf("  %-18s %7.1f bytes\n", kind.name,
                BytesPerCall(kEvents, [&] { kind.record(player); }));
  }
  GameSession::CorePlayer player(nullptr);
  std::printf("  %-18s %7.1f bytes\n", "session mix",
              BytesPerCall(kEvents / 30, [&] { GameSession::PlayThirtyEvents(player); }) / 30);

  constexpr int kMessages = 1000;
  GameSession::BufferedFlush flush;
  Zel::TaviServicesHttpClientCurl queue;
  const double perMessage =
      BytesPerCall(kMessages, [&] { queue.SendEvents(flush.url, flush.headers, flush.Events()); });
  std::printf("Heap held per queued message of 30 session events (%d messages):\n", kMessages);
  std::printf("  %zu bytes of text, %.1f bytes held\n", queue.OldestMessage()->Size(), perMessage);
  return 0;
}
