// 10,000 clients send to a collector that is down for ten minutes and then
// returns: requests per second arriving at the collector over time, for the
// delivery library's own schedule (SendSchedule: exponential back-off with
// full jitter, then spaced catch-up) against plain exponential back-off
// without jitter and a fixed retry interval.
//
//   delivery_simulation [CSV]
//
// Every client stores one request every 30 seconds (its own phase) and
// sends oldest first, one at a time, as the library's sender does; an
// attempt takes no time. The collector is down from minute 10 to minute 20;
// the run lasts an hour. Writes the arrivals per 10-second bin as CSV
// (seconds, then one column per schedule) and prints each schedule's peak
// after recovery against the steady rate. Deterministic (fixed seeds).
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <queue>
#include <random>
#include <string>
#include <vector>

#include "send_schedule.h"

namespace {

constexpr int kClients = 10000;
constexpr std::int64_t kSecond = 1000;
constexpr std::int64_t kRequestInterval = 30 * kSecond;
constexpr std::int64_t kDownFrom = 600 * kSecond;
constexpr std::int64_t kDownUntil = 1200 * kSecond;
constexpr std::int64_t kEnd = 3600 * kSecond;
constexpr std::int64_t kBin = 10 * kSecond;
constexpr Delivery::RetryPolicy kPolicy;  // the library's defaults: 1 s, capped at 5 min

// When a client tries again; the three schedules compared.
class Retrying {
 public:
  virtual ~Retrying() = default;
  virtual std::int64_t OnFailure(int attempts, std::int64_t now) = 0;
  virtual void OnAnswer(std::int64_t, std::int64_t) {}
  virtual void OnIdle() {}
  virtual std::int64_t NotBefore() const { return 0; }
};

class LibrarySchedule : public Retrying {
 public:
  explicit LibrarySchedule(std::uint64_t seed) : schedule(kPolicy, seed) {}
  std::int64_t OnFailure(int attempts, std::int64_t now) override {
    return schedule.OnFailure(attempts, std::nullopt, now);
  }
  void OnAnswer(std::int64_t now, std::int64_t waiting) override {
    schedule.OnAnswer(now, waiting);
  }
  void OnIdle() override { schedule.OnIdle(); }
  std::int64_t NotBefore() const override { return schedule.NotBeforeMs(); }

 private:
  Delivery::SendSchedule schedule;
};

class PlainExponential : public Retrying {
 public:
  std::int64_t OnFailure(int attempts, std::int64_t) override {
    return Delivery::BackOffCeilingMs(kPolicy, attempts);
  }
};

class FixedInterval : public Retrying {
 public:
  std::int64_t OnFailure(int, std::int64_t) override { return 10 * kSecond; }
};

struct Client {
  std::unique_ptr<Retrying> retrying;
  std::int64_t waiting = 0;  // requests stored, not yet delivered
  int attempts = 0;          // of the oldest
  std::int64_t nextSubmit = 0;
  std::int64_t nextAttempt = -1;  // -1: no attempt planned
};

// Arrivals at the collector per bin, for one schedule.
std::vector<std::int64_t> Simulate(const std::function<std::unique_ptr<Retrying>(int)>& make) {
  std::vector<std::int64_t> arrivals(kEnd / kBin, 0);
  std::vector<Client> clients(kClients);
  using Wake = std::pair<std::int64_t, int>;  // time, client
  std::priority_queue<Wake, std::vector<Wake>, std::greater<Wake>> wakes;
  std::mt19937_64 phases(2024);
  for (int id = 0; id < kClients; ++id) {
    clients[id].retrying = make(id);
    clients[id].nextSubmit =
        std::uniform_int_distribution<std::int64_t>(0, kRequestInterval)(phases);
    wakes.push({clients[id].nextSubmit, id});
  }
  while (!wakes.empty()) {
    const auto [now, id] = wakes.top();
    wakes.pop();
    if (now >= kEnd) break;
    Client& client = clients[id];
    if (now == client.nextSubmit) {
      ++client.waiting;
      client.nextSubmit += kRequestInterval;
      wakes.push({client.nextSubmit, id});
      if (client.nextAttempt < 0) {
        client.nextAttempt = std::max(now, client.retrying->NotBefore());
        wakes.push({client.nextAttempt, id});
      }
    }
    if (now != client.nextAttempt) continue;
    ++arrivals[now / kBin];
    const bool down = now >= kDownFrom && now < kDownUntil;
    if (down) {
      client.nextAttempt = now + client.retrying->OnFailure(++client.attempts, now);
    } else {
      --client.waiting;
      client.attempts = 0;
      client.retrying->OnAnswer(now, client.waiting);
      if (client.waiting == 0) client.retrying->OnIdle();
      client.nextAttempt = client.waiting > 0 ? std::max(now, client.retrying->NotBefore()) : -1;
    }
    if (client.nextAttempt >= 0) wakes.push({client.nextAttempt, id});
  }
  return arrivals;
}

double Rate(std::int64_t perBin) { return static_cast<double>(perBin) * kSecond / kBin; }

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::pair<std::string, std::function<std::unique_ptr<Retrying>(int)>>>
      schedules = {
          {"library", [](int id) { return std::make_unique<LibrarySchedule>(7919u * id + 1); }},
          {"exponential", [](int) { return std::make_unique<PlainExponential>(); }},
          {"fixed_10s", [](int) { return std::make_unique<FixedInterval>(); }},
      };
  std::vector<std::vector<std::int64_t>> results;
  for (const auto& schedule : schedules) results.push_back(Simulate(schedule.second));

  if (argc > 1) {
    std::FILE* csv = std::fopen(argv[1], "w");
    if (csv == nullptr) {
      std::perror(argv[1]);
      return 1;
    }
    std::fprintf(csv, "seconds");
    for (const auto& schedule : schedules) std::fprintf(csv, ",%s", schedule.first.c_str());
    std::fprintf(csv, "\n");
    for (std::size_t bin = 0; bin < results[0].size(); ++bin) {
      std::fprintf(csv, "%lld", static_cast<long long>(bin * kBin / kSecond));
      for (const auto& arrivals : results) std::fprintf(csv, ",%.1f", Rate(arrivals[bin]));
      std::fprintf(csv, "\n");
    }
    std::fclose(csv);
  }

  const double steady = static_cast<double>(kClients) * kSecond / kRequestInterval;
  std::printf("%d clients, one request each every %lld s: steady rate %.0f requests/s\n", kClients,
              static_cast<long long>(kRequestInterval / kSecond), steady);
  std::printf("collector down from %lld s to %lld s; peak arrivals after recovery (%lld-s bins):\n",
              static_cast<long long>(kDownFrom / kSecond),
              static_cast<long long>(kDownUntil / kSecond), static_cast<long long>(kBin / kSecond));
  for (std::size_t i = 0; i < schedules.size(); ++i) {
    const auto& arrivals = results[i];
    const auto peak = *std::max_element(arrivals.begin() + kDownUntil / kBin, arrivals.end());
    std::printf("  %-12s %8.0f requests/s = %5.2f x steady\n", schedules[i].first.c_str(),
                Rate(peak), Rate(peak) / steady);
  }
  return 0;
}
