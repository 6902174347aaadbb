// Recording one event, and flushing 30 buffered events into one queued
// request, with a context of realistic (about 20-character) values.
#include <memory>

#include <benchmark/benchmark.h>

#include "game_events.h"
#include "request_queue.h"
#include "services_client.h"

namespace {

void FillContext(ServicesClient& services) {
  services.SetUserId("player-4f1c2a9e7b3d55");
  services.SetClientId("client-9a8b7c6d5e4f3a");
  services.SetAppData("com.example.skyforge", "ExampleStudio.Skyforge", "Skyforge: Rising Tides",
                      "1.24.3-release.1", "1024030001");
  services.SetPlatform("Windows", "10.0.19045.3693");
  services.SetDeviceLocale("en-US");
}

void RecordPurchase(ServicesClient& services) {
  GameEvents::RecordPurchase(services, 4.99, "EUR", "gems.pack.large.2024", 1, 1,
                             "Large Gem Pack Bonus", 0);
}

// The buffer is emptied (untimed) before it reaches the flush threshold, so
// only building and buffering the event is measured.
void BM_RecordOneEvent(benchmark::State& state) {
  auto services = std::make_unique<ServicesClient>("project-7c1e9d3b2a4f");
  FillContext(*services);
  for (auto _ : state) {
    RecordPurchase(*services);
    if (services->Recorder().Buffer().size() == 29) {
      state.PauseTiming();
      services = std::make_unique<ServicesClient>("project-7c1e9d3b2a4f");
      FillContext(*services);
      state.ResumeTiming();
    }
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_RecordOneEvent);

// Serialising 30 events, writing the request message and queueing it.
void BM_FlushThirtyEvents(benchmark::State& state) {
  Zel::TaviServicesHttpClientCurl queue;
  ServicesClient services("project-7c1e9d3b2a4f");
  FillContext(services);
  std::size_t bytes = 0;
  for (auto _ : state) {
    state.PauseTiming();
    services.SetHttpClient(nullptr);  // so that the 30th event does not flush
    while (services.Recorder().Buffer().size() < 30) RecordPurchase(services);
    services.SetHttpClient(&queue);
    state.ResumeTiming();
    services.Recorder().Flush();
    state.PauseTiming();
    bytes += queue.TakeMessage().size();
    state.ResumeTiming();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
}
BENCHMARK(BM_FlushThirtyEvents);

}  // namespace
