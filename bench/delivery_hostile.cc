// The delivery library's figures under hostile conditions:
//   - the Close margin: how far Delivery_Close(0) and Delivery_Close(1000)
//     run past their wait while the transfer hangs (connecting, or waiting
//     for an answer), worst of several rounds;
//   - disk use: the outbox's files after stores at full speed for a while
//     (a minute by default) against a byte bound of 2 MiB, and the most they
//     took meanwhile, beside the documented bound;
//   - attempts per second against a collector answering 503 with
//     "Retry-After: 0", with the default retry policy.
//
//   cmake --preset release && cmake --build --preset release --target delivery_hostile
//   build/release/bench/delivery_hostile [SECONDS_OF_STORES]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <thread>

#include "ostrel_delivery.h"
#include "test_servers.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

const std::string kMessage =
    R"({"data":"{\"event_type\":\"a_Levelup\",\"event_timestamp\":1700000000000,)"
    R"(\"arrival_timestamp\":1700000000000,\"event_version\":\"1.0\",\"application\":)"
    R"({\"app_id\":\"app-4f1c2b\",\"title\":\"Sample Game\"},\"client\":{\"client_id\":)"
    R"(\"client-5e1f9a\"},\"device\":{\"locale\":{\"code\":\"en-US\"}},\"session\":)"
    R"({\"session_id\":\"s-0001\"},\"attributes\":{\"user_id\":\"player-0042\"},)"
    R"(\"metrics\":{\"a_level\":7.0}}","headers":["X-Api-Key: Qm7TzR2vLx9KpB4nWc8HdY1sJf6GuE3aVo5XiNt0",)"
    R"("Content-Type: application/json"],)"
    R"("url":"https://analytics.example.com/v1/win/record?project=sample-game"})";

std::string ScratchFolder() {
  std::string pattern =
      (std::filesystem::temp_directory_path() / "delivery-hostile-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  return pattern;
}

Delivery_Outbox* Open(const std::string& folder, const std::string& url, Delivery_Options options) {
  char error[256] = "";
  Delivery_Outbox* outbox =
      Delivery_Open(folder.c_str(), url.c_str(), &options, nullptr, nullptr, error, sizeof error);
  if (outbox == nullptr) throw std::runtime_error(error);
  return outbox;
}

Delivery_Options Defaults() {
  Delivery_Options options;
  Delivery_DefaultOptions(&options);
  return options;
}

// The worst time Close(waitMs) took beyond waitMs, with a transfer hung at `stage`.
double WorstCloseMarginMs(HangingPort::Stage stage, int64_t waitMs, int rounds) {
  double worst = 0;
  for (int round = 0; round < rounds; ++round) {
    const std::string folder = ScratchFolder();
    HangingPort hanging(stage);
    Delivery_Outbox* outbox = Open(folder, hanging.Url(), Defaults());
    Delivery_Submit(outbox, kMessage.c_str(), nullptr, nullptr, nullptr, 0);
    std::this_thread::sleep_for(
        milliseconds(300 + 97 * round));  // caught at another moment each time
    const auto start = Clock::now();
    Delivery_Close(outbox, waitMs);
    const std::chrono::duration<double, std::milli> took = Clock::now() - start;
    worst = std::max(worst, took.count() - static_cast<double>(waitMs));
    std::filesystem::remove_all(folder);
  }
  return worst;
}

std::int64_t FilesBytes(const std::string& folder) {
  std::int64_t total = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    if (entry.is_regular_file()) total += static_cast<std::int64_t>(entry.file_size());
  }
  return total;
}

void DiskUse(int seconds) {
  const std::string folder = ScratchFolder();
  HangingPort hanging(HangingPort::Stage::Answer);  // nothing is delivered, and sending hangs
  Delivery_Options options = Defaults();
  options.maxBytes = 2 << 20;
  Delivery_Outbox* outbox = Open(folder, hanging.Url(), options);
  const auto end = Clock::now() + std::chrono::seconds(seconds);
  std::int64_t stores = 0, largest = 0;
  for (auto nextLook = Clock::now(); Clock::now() < end; ++stores) {
    Delivery_Submit(outbox, kMessage.c_str(), nullptr, nullptr, nullptr, 0);
    if (Clock::now() >= nextLook) {
      largest = std::max(largest, FilesBytes(folder));
      nextLook = Clock::now() + milliseconds(50);
    }
  }
  const std::int64_t after = FilesBytes(folder);
  const std::int64_t bound = options.maxBytes + DELIVERY_DISK_ALLOWANCE(options.maxRequests);
  std::printf(
      "disk use after %d s of stores at full speed (%lld stores, %.0f/s), byte bound %.1f MiB:\n"
      "  files now %.2f MiB, at most %.2f MiB meanwhile; documented bound %.2f MiB\n",
      seconds, static_cast<long long>(stores), static_cast<double>(stores) / seconds,
      options.maxBytes / 1048576.0, after / 1048576.0, largest / 1048576.0, bound / 1048576.0);
  Delivery_Close(outbox, 0);
  std::printf("  after Close: %.2f MiB\n", FilesBytes(folder) / 1048576.0);
  std::filesystem::remove_all(folder);
}

void AttemptsAgainstRetryAfterZero(int seconds) {
  const std::string folder = ScratchFolder();
  RecordingServer busy(
      "HTTP/1.1 503 Service Unavailable\r\nRetry-After: 0\r\nContent-Length: 0\r\n\r\n");
  Delivery_Outbox* outbox = Open(folder, busy.Url(), Defaults());
  Delivery_Submit(outbox, kMessage.c_str(), nullptr, nullptr, nullptr, 0);
  std::this_thread::sleep_for(std::chrono::seconds(seconds));
  Delivery_Close(outbox, 0);
  std::printf(
      "attempts against 503 with \"Retry-After: 0\" (default retry policy): %d in %d s, "
      "%.2f per second\n",
      busy.Requests(), seconds, static_cast<double>(busy.Requests()) / seconds);
  std::filesystem::remove_all(folder);
}

}  // namespace

int main(int argc, char** argv) {
  const int storeSeconds = argc > 1 ? std::atoi(argv[1]) : 60;
  constexpr int kRounds = 8;
  std::printf("Close margin beyond its wait with a hung transfer, worst of %d rounds:\n", kRounds);
  for (const auto stage : {HangingPort::Stage::Connect, HangingPort::Stage::Answer}) {
    for (const int64_t wait : {0, 1000}) {
      std::printf("  %-10s Close(%4lld): %6.1f ms\n",
                  stage == HangingPort::Stage::Connect ? "connecting" : "answer",
                  static_cast<long long>(wait), WorstCloseMarginMs(stage, wait, kRounds));
    }
  }
  AttemptsAgainstRetryAfterZero(10);
  DiskUse(storeSeconds);
  return 0;
}
