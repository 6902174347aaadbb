// Heap bytes the library holds per buffered event and per queued message,
// for the benchmark session's realistic context and events. Every operator
// new and delete of this program is counted; a block is charged with its
// usable size plus the 8-byte header glibc's malloc keeps in front of it.
#include <malloc.h>

#include <cstdio>
#include <cstdlib>
#include <new>

#include "game_session.h"
#include "request_queue.h"

namespace {

std::size_t heldBytes = 0;

void* Allocate(std::size_t size) {
  void* block = std::malloc(size != 0 ? size : 1);
  if (block == nullptr) throw std::bad_alloc();
  heldBytes += malloc_usable_size(block) + sizeof(std::size_t);
  return block;
}

void Release(void* block) noexcept {
  if (block == nullptr) return;
  heldBytes -= malloc_usable_size(block) + sizeof(std::size_t);
  std::free(block);
}

// Held bytes per call of `action`, over `count` calls.
template <typename Action>
double BytesPerCall(int count, Action action) {
  const std::size_t before = heldBytes;
  for (int i = 0; i < count; ++i) action();
  return static_cast<double>(heldBytes - before) / count;
}

}  // namespace

void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
void operator delete(void* block) noexcept { Release(block); }
void operator delete[](void* block) noexcept { Release(block); }
void operator delete(void* block, std::size_t) noexcept { Release(block); }
void operator delete[](void* block, std::size_t) noexcept { Release(block); }

int main() {
  constexpr int kEvents = 30000;  // buffered without an HTTP client: no flush
  std::printf("Heap held per buffered event (%d kEvents each):\n", kEvents);
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
  std::printf("Heap held per queued message of 30 session kEvents (%d kMessages):\n", kMessages);
  std::printf("  %zu bytes of text, %.1f bytes held\n", queue.OldestMessage()->size(), perMessage);
  return 0;
}
