// Ostrel's costs on the game thread: recording an event, and the whole
// cycle of thirty recorded events, the flush they trigger and taking the
// message, for the one-pass writer and for the nlohmann document pipeline it
// replaced (the baseline), side by side; and how fast the message is written.
//
//   cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DCORVANE_BUILD=OFF
//   cmake --build build/bench --target ostrel_bench
//   build/bench/bench/ostrel_bench --benchmark_repetitions=5
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "game_session.h"
#include "message_writer.h"
#include "ostrel.h"
#include "reference_pipeline.h"
#include "request_queue.h"
#include "summary_reporter.h"

namespace {

using GameSession::kEventsPerFlush;

// Tavi_Event_LevelUp while no flush is due: 29 events are timed, the 30th
// (which flushes) and taking its message are not. Time is per event,
// wall-clock (a thread CPU clock costs a system call, more than the events).
void BM_RecordLevelUp(benchmark::State& state) {
  GameSession::ExportsPlayer player;
  constexpr int kTimed = kEventsPerFlush - 1;
  while (state.KeepRunningBatch(kTimed)) {
    const auto start = std::chrono::steady_clock::now();
    for (int level = 0; level < kTimed; ++level) Tavi_Event_LevelUp(level);
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    state.SetIterationTime(elapsed.count());
    Tavi_Event_LevelUp(kTimed);
    player.TakeMessages();
  }
}
BENCHMARK(BM_RecordLevelUp)->UseManualTime();

// The game's side of a flush through libostrel.so: thirty events, the
// thirtieth flushes, the message is taken and freed. Time is per event.
void BM_CycleFastExports(benchmark::State& state) {
  GameSession::ExportsPlayer player;
  std::size_t bytes = 0;
  while (state.KeepRunningBatch(kEventsPerFlush)) {
    GameSession::PlayThirtyEvents(player);
    bytes += player.TakeMessages();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
}
BENCHMARK(BM_CycleFastExports);

// Takes every queued message as a C caller gets it; returns the bytes taken.
std::size_t TakeAll(Zel::TaviServicesHttpClientCurl& queue) {
  std::size_t bytes = 0;
  while (char* message = queue.TakeOldestMessage()) {
    bytes += std::strlen(message);
    std::free(message);
  }
  return bytes;
}

std::size_t TakeAll(Reference::Queue& queue) {
  std::size_t bytes = 0;
  for (; !queue.messages.empty(); queue.messages.pop_front()) {
    bytes += GameSession::TakeAsCText(queue.messages.front());
  }
  return bytes;
}

// The same cycle on the library's classes with the given HTTP client.
template <typename Client>
void CycleOnClasses(benchmark::State& state) {
  Client client;
  GameSession::CorePlayer player(&client);
  std::size_t bytes = 0;
  while (state.KeepRunningBatch(kEventsPerFlush)) {
    GameSession::PlayThirtyEvents(player);
    bytes += TakeAll(client);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
}

void BM_CycleFastCore(benchmark::State& state) {
  CycleOnClasses<Zel::TaviServicesHttpClientCurl>(state);
}
BENCHMARK(BM_CycleFastCore);

void BM_CycleBaseline(benchmark::State& state) { CycleOnClasses<Reference::Queue>(state); }
BENCHMARK(BM_CycleBaseline);

// Writing the message of a flush, bytes of message per second.
void BM_WriteMessage(benchmark::State& state) {
  GameSession::BufferedFlush batch;
  std::size_t bytes = 0;
  for (auto _ : state) {
    const std::string message =
        Ostrel::WriteEventsMessage(batch.url, batch.headers, batch.Events());
    bytes += message.size();
    benchmark::DoNotOptimize(message.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
}
BENCHMARK(BM_WriteMessage);

void BM_WriteMessageBaseline(benchmark::State& state) {
  GameSession::BufferedFlush batch;
  std::size_t bytes = 0;
  for (auto _ : state) {
    const Ostrel::EventBatch view = batch.Events();
    const std::string message = Reference::WriteRequestMessage(
        batch.url, batch.headers, Reference::SerializeBody(view.events, view.context));
    bytes += message.size();
    benchmark::DoNotOptimize(message.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
}
BENCHMARK(BM_WriteMessageBaseline);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  SummaryReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
