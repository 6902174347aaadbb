// The delivery library's costs: Delivery_Submit on the game thread (goal:
// p99 <= 200 us per request at a game's pace), with bodies compressed by
// the sender or not; the sender's throughput to a local collector
// (scripts/collector) over one kept-alive connection against a new
// connection per request; and what one request costs the sender's thread
// and the wire, compressed and not.
//
//   cmake --preset release && cmake --build --preset release --target delivery_bench
//   build/release/bench/delivery_bench
#include <benchmark/benchmark.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "collector_process.h"
#include "ostrel.h"
#include "ostrel_delivery.h"
#include "outbox.h"

namespace {

using Clock = std::chrono::steady_clock;

// A request message as Ostrel queues it: a batch of `events` level-ups with
// a realistic context (30 events: about 26 kB; 1 event: about 0.9 kB).
std::string OstrelMessage(int events) {
  Tavi_Init("project-7c1e9d3b2a4f");
  Tavi_SetAppData("app-4f1c2b", "com.example.sample", "Sample Game", "2.0.1", "201");
  Tavi_SetPlatform("Windows", "10.0.19045");
  Tavi_SetDeviceLocale("en-US");
  Tavi_SetUser("player-0042-7c1e9d3b2a");
  Tavi_Update();
  for (int n = Tavi_MessagesCount(); n > 0; --n) std::free(Tavi_Zel_GetMessage());
  for (int level = 0; level < events; ++level) Tavi_Event_LevelUp(level);
  if (Tavi_MessagesCount() == 0) Tavi_Destroy();
  char* taken = Tavi_Zel_GetMessage();
  std::string message(taken);
  std::free(taken);
  Tavi_Destroy();
  for (int n = Tavi_MessagesCount(); n > 0; --n) std::free(Tavi_Zel_GetMessage());
  return message;
}

std::string ScratchFolder() {
  std::string pattern = (std::filesystem::temp_directory_path() / "delivery-bench-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  return pattern;
}

double Percentile(std::vector<double> values, double share) {
  std::sort(values.begin(), values.end());
  return values[std::min(values.size() - 1, static_cast<std::size_t>(share * values.size()))];
}

// Delivery_Submit through the C interface, as the game calls it, with the
// sender working beside it: range(0) events per message, range(1) = 1 with
// the local collector receiving, 0 with nothing listening (every attempt
// refused, so requests pile up), range(2) the pace: 0 submits back to back,
// N one submit every N milliseconds, range(3) = 1 bodies sent compressed
// (the default), 0 uncompressed. Reports the p50, p99 and largest time of
// one submit in microseconds; only the submits are timed.
//
// Back to back (20,000 submits) is the worst case: far beyond a game's
// pace, the outbox sits at its bounds, every submit also drops the oldest
// request, and the sender's checkpoints never find the log quiet. The
// paced run is what a game does: Ostrel flushes a request every few
// seconds, and even one request per 16 ms frame is more than a game sends.
// One every 4 ms is four times that rate and keeps a run of 2,000 submits
// to 8 seconds.
void BM_Submit(benchmark::State& state) {
  const std::string message = OstrelMessage(static_cast<int>(state.range(0)));
  std::unique_ptr<CollectorProcess> collector;
  std::string url = "http://127.0.0.1:9";  // discard port: nothing listens
  if (state.range(1) == 1) {
    collector = std::make_unique<CollectorProcess>();
    url = collector->Url();
  }
  const std::chrono::milliseconds pace(state.range(2));
  const std::string folder = ScratchFolder();
  Delivery_Options options;
  Delivery_DefaultOptions(&options);
  options.uncompressed = state.range(3) == 1 ? 0 : 1;
  Delivery_Outbox* outbox =
      Delivery_Open(folder.c_str(), url.c_str(), &options, nullptr, nullptr, nullptr, 0);
  std::vector<double> micros;
  char key[DELIVERY_KEY_SIZE];
  auto next = Clock::now();
  for (auto _ : state) {
    if (pace.count() > 0) {
      std::this_thread::sleep_until(next);
      next = std::max(next + pace, Clock::now());
    }
    const auto start = Clock::now();
    const int32_t result = Delivery_Submit(outbox, message.c_str(), key, nullptr, nullptr, 0);
    const std::chrono::duration<double, std::micro> took = Clock::now() - start;
    if (result != DELIVERY_STORED) state.SkipWithError("not stored");
    state.SetIterationTime(took.count() / 1e6);
    micros.push_back(took.count());
  }
  Delivery_Close(outbox, 0);
  std::filesystem::remove_all(folder);
  state.counters["bytes"] = static_cast<double>(message.size());
  state.counters["p50_us"] = Percentile(micros, 0.50);
  state.counters["p99_us"] = Percentile(micros, 0.99);
  state.counters["max_us"] = Percentile(micros, 1.0);
}
BENCHMARK(BM_Submit)
    ->ArgNames({"events", "collector", "pace_ms", "gzip"})
    ->Args({1, 0, 0, 1})
    ->Args({30, 0, 0, 1})
    ->Args({1, 1, 0, 1})
    ->Args({30, 1, 0, 1})
    ->Iterations(20000)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);
// At a game's pace with the collector receiving, compressed and not, in the
// same run: compression is the sender's work, never the game thread's.
BENCHMARK(BM_Submit)
    ->ArgNames({"events", "collector", "pace_ms", "gzip"})
    ->Args({1, 0, 4, 1})
    ->Args({30, 0, 4, 1})
    ->Args({1, 1, 4, 1})
    ->Args({1, 1, 4, 0})
    ->Args({30, 1, 4, 1})
    ->Args({30, 1, 4, 0})
    ->Iterations(2000)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);

// The sender's rate to scripts/collector on this machine: 500 requests of
// 30 events are stored (not timed), then the time until the outbox is
// empty is measured. range(0) = 1: one kept-alive connection (the
// library's way); 0: a new connection per request.
void BM_SendToLocalCollector(benchmark::State& state) {
  static const std::string message = OstrelMessage(30);
  CollectorProcess collector;
  constexpr int kRequests = 500;
  Delivery::OutboxOptions options;
  options.transfer.reuseConnection = state.range(0) == 1;
  for (auto _ : state) {
    const std::string folder = ScratchFolder();
    {
      // Stored before the sender starts: the open outbox sends at once.
      Delivery::Outbox filling(folder, "http://127.0.0.1:9", options, nullptr);
      for (int i = 0; i < kRequests; ++i) filling.Submit(message);
      filling.Close(std::chrono::milliseconds(0));
    }
    const auto start = Clock::now();
    Delivery::Outbox outbox(folder, collector.Url(), options, nullptr);
    if (outbox.Wait(std::chrono::minutes(5)) != 0) state.SkipWithError("not all delivered");
    const std::chrono::duration<double> took = Clock::now() - start;
    state.SetIterationTime(took.count());
    outbox.Close(std::chrono::milliseconds(0));
    std::filesystem::remove_all(folder);
  }
  state.SetItemsProcessed(state.iterations() * kRequests);
}
BENCHMARK(BM_SendToLocalCollector)
    ->Arg(1)
    ->Arg(0)
    ->Iterations(3)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// The CPU time the thread named `name` in this process has used, in
// nanoseconds (-1 when there is none): Linux's clock of another thread of
// the process, made from its thread id as pthread_getcpuclockid makes it.
std::int64_t ThreadCpuNs(const std::string& name) {
  for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
    std::ifstream comm(task.path() / "comm");
    std::string taskName;
    if (!std::getline(comm, taskName) || taskName != name) continue;
    const pid_t tid = std::stoi(task.path().filename().string());
    const clockid_t clock = static_cast<clockid_t>((~static_cast<unsigned>(tid) << 3) | 6);
    timespec used{};
    if (clock_gettime(clock, &used) != 0) return -1;
    return static_cast<std::int64_t>(used.tv_sec) * 1000000000 + used.tv_nsec;
  }
  return -1;
}

// What one request costs the sender's thread ("delivery-send") and the
// wire: 500 requests of range(0) events are stored (not measured), then
// sent to scripts/collector, range(1) = 1 compressed (the default), 0
// uncompressed. Reports the sender thread's CPU time per request, from its
// start to the outbox being empty, and the body bytes on the wire per
// request and per event (Content-Length, as the collector received it),
// beside the body as submitted.
void BM_SenderPerRequest(benchmark::State& state) {
  const int events = static_cast<int>(state.range(0));
  const std::string message = OstrelMessage(events);
  constexpr int kRequests = 500;
  Delivery::OutboxOptions options;
  options.compression = state.range(1) == 1;
  double cpuUs = 0, wireBytes = 0;
  for (auto _ : state) {
    CollectorProcess collector;
    const std::string folder = ScratchFolder();
    {
      Delivery::Outbox filling(folder, "http://127.0.0.1:9", options, nullptr);
      for (int i = 0; i < kRequests; ++i) filling.Submit(message);
      filling.Close(std::chrono::milliseconds(0));
    }
    const auto start = Clock::now();
    Delivery::Outbox outbox(folder, collector.Url(), options, nullptr);
    if (outbox.Wait(std::chrono::minutes(5)) != 0) state.SkipWithError("not all delivered");
    state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
    cpuUs = static_cast<double>(ThreadCpuNs("delivery-send")) / 1000.0 / kRequests;
    outbox.Close(std::chrono::milliseconds(0));
    std::filesystem::remove_all(folder);
    wireBytes = 0;
    for (const nlohmann::json& request : collector.StoredRequests()) {
      wireBytes += request["wire_bytes"].get<double>();
    }
    wireBytes /= kRequests;
  }
  const std::string body = nlohmann::json::parse(message)["data"];
  state.counters["cpu_us_per_request"] = cpuUs;
  state.counters["body_bytes"] = static_cast<double>(body.size());
  state.counters["wire_bytes"] = wireBytes;
  state.counters["wire_bytes_per_event"] = wireBytes / events;
}
BENCHMARK(BM_SenderPerRequest)
    ->ArgNames({"events", "gzip"})
    ->Args({1, 0})
    ->Args({1, 1})
    ->Args({30, 0})
    ->Args({30, 1})
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// Prints the keep-alive / new-connection ratio after the table.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      const auto items = run.counters.find("items_per_second");
      if (items == run.counters.end()) continue;
      (run.run_name.args == "1" ? keepAlive : newConnection) = items->second.value;
    }
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    if (keepAlive > 0 && newConnection > 0) {
      std::printf(
          "\nrequests/s to the local collector: keep-alive %.0f, new connection %.0f, "
          "ratio %.2f\n",
          keepAlive, newConnection, keepAlive / newConnection);
    }
  }

 private:
  double keepAlive = 0, newConnection = 0;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
