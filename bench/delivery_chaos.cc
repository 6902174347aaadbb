// Completeness under chaos: several processes share one outbox and store
// requests through the C interface, with bounds small enough to drop
// (count, bytes, age), some requests the collector rejects and consent
// denied and given again now and then, while the controller kills
// processes with SIGKILL at random moments and takes scripts/collector
// down (SIGKILL or SIGTERM) and up again on the same port. At the end one
// process delivers what is left. The collector's ledger must show every
// number of the stream either received or reported dropped: 0 unaccounted,
// and received plus dropped equal to the numbers the outbox gave. Prints
// the stream's ledger and the run's counts as JSON; status 0 when that
// holds, 1 when not.
//
//   cmake --preset release && cmake --build --preset release --target delivery_chaos
//   build/release/bench/delivery_chaos [--small] [--seed N] [--seconds S] [--workers N]
//
// --small is the CI size (3 processes, 10 seconds of chaos); the default is
// 6 processes for 90 seconds.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "ostrel_delivery.h"
#include "test_messages.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

struct Settings {
  int workers = 6;
  int seconds = 90;
  std::uint64_t seed = 1;
};

std::string ScratchFolder() {
  std::string pattern = (std::filesystem::temp_directory_path() / "delivery-chaos-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  return pattern;
}

pid_t Spawn(const std::vector<std::string>& arguments, const std::string& output) {
  std::vector<char*> argv;
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, output.c_str(),
                                   O_WRONLY | O_CREAT | O_APPEND, 0600);
  posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
  pid_t pid = -1;
  const int error = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (error != 0) throw std::runtime_error("cannot start " + arguments[0]);
  return pid;
}

void Sleep(int ms) { std::this_thread::sleep_for(milliseconds(ms)); }

// The options every process opens the outbox with: bounds that drop, and
// retries quick enough to keep up with a collector that comes and goes.
Delivery_Options ChaosOptions() {
  Delivery_Options options;
  Delivery_DefaultOptions(&options);
  options.maxRequests = 40;
  options.maxBytes = 100000;
  options.maxAgeSeconds = 2;
  options.firstRetryMs = 20;
  options.maxRetryMs = 250;
  options.connectTimeoutMs = 500;
  options.requestTimeoutMs = 2000;
  return options;
}

Delivery_Outbox* Open(const std::string& folder, const std::string& url,
                      const Delivery_Options& options) {
  char error[256] = "";
  Delivery_Outbox* outbox =
      Delivery_Open(folder.c_str(), url.c_str(), &options, nullptr, nullptr, error, sizeof error);
  if (outbox == nullptr) throw std::runtime_error(error);
  return outbox;
}

// A request of one event, or a batch of 30 (sent compressed); now and then
// one for a project the collector refuses, which is set aside as rejected.
std::string ChaosMessage(std::mt19937_64& random, long long timestamp) {
  std::uniform_real_distribution<double> chance(0, 1);
  const std::string project = chance(random) < 0.03 ? "other-game" : "sample-game";
  if (chance(random) < 0.7) return TestMessage(TestEvent("a_Levelup", timestamp), project);
  nlohmann::json batch = nlohmann::json::array();
  for (int i = 0; i < 30; ++i) batch.push_back(TestEvent("a_Levelup", timestamp + i));
  return TestMessage(batch, project);
}

// One process of the outbox: stores requests every few milliseconds for a
// while (unless killed first), denying consent and giving it again now and
// then, and closes without waiting.
int RunWorker(const std::string& folder, const std::string& url, std::uint64_t seed) {
  std::mt19937_64 random(seed);
  std::uniform_real_distribution<double> chance(0, 1);
  Delivery_Outbox* outbox = Open(folder, url, ChaosOptions());
  const auto end = Clock::now() + milliseconds(1000 + static_cast<int>(random() % 4000));
  // Most processes store a request every few tenths of a second, some in a
  // hurry: the count and byte bounds drop in a hurry, the age bound while
  // the collector is away.
  const bool hurried = chance(random) < 0.3;
  auto givenAgain = Clock::time_point::max();
  for (long long n = 0; Clock::now() < end; ++n) {
    if (givenAgain == Clock::time_point::max() && chance(random) < 0.01) {
      Delivery_SetConsent(outbox, DELIVERY_CONSENT_DENIED, nullptr, 0);
      givenAgain = Clock::now() + milliseconds(200);
    } else if (Clock::now() >= givenAgain) {
      Delivery_SetConsent(outbox, DELIVERY_CONSENT_GIVEN, nullptr, 0);
      givenAgain = Clock::time_point::max();
    }
    Delivery_Submit(outbox, ChaosMessage(random, n).c_str(), nullptr, nullptr, nullptr, 0);
    Sleep(hurried ? 5 + static_cast<int>(random() % 30) : 50 + static_cast<int>(random() % 400));
  }
  if (givenAgain != Clock::time_point::max()) {
    Delivery_SetConsent(outbox, DELIVERY_CONSENT_GIVEN, nullptr, 0);
  }
  Delivery_Close(outbox, 0);
  return 0;
}

// scripts/collector on one port, started and stopped again and again.
class Collector {
 public:
  explicit Collector(std::string folder) : folder(std::move(folder)) {
    Start("0");
    std::ifstream portFile(this->folder + "/port");
    portFile >> port;
  }
  ~Collector() { Stop(SIGTERM); }
  std::string Url() const { return "http://127.0.0.1:" + port; }
  bool Up() const { return pid > 0; }
  void Start() { Start(port); }
  void Stop(int signal) {
    if (pid <= 0) return;
    kill(pid, signal);
    waitpid(pid, nullptr, 0);
    pid = -1;
  }
  nlohmann::json Report() const {
    std::ifstream report(folder + "/report.json");
    return nlohmann::json::parse(report);
  }

 private:
  void Start(const std::string& onPort) {
    std::filesystem::remove(folder + "/port");
    for (int tries = 0; tries < 50; ++tries) {  // the port may still be held for a moment
      pid = Spawn({COLLECTOR_SCRIPT, "--port", onPort, "--port-file", folder + "/port", "--out",
                   folder + "/received.jsonl", "--report", folder + "/report.json", "--project",
                   "sample-game"},
                  folder + "/collector.log");
      for (int wait = 0; wait < 500 && !std::filesystem::exists(folder + "/port"); ++wait) {
        if (waitpid(pid, nullptr, WNOHANG) == pid) break;
        Sleep(10);
      }
      if (std::filesystem::exists(folder + "/port")) return;
      Stop(SIGKILL);
      Sleep(100);
    }
    throw std::runtime_error("the collector does not start; see " + folder + "/collector.log");
  }

  const std::string folder;
  std::string port;
  pid_t pid = -1;
};

// What the outbox's database says, read beside the library.
struct OutboxState {
  std::string stream;
  std::int64_t lastSequence = 0;
  std::int64_t unreported = 0;
};

OutboxState ReadOutbox(const std::string& folder) {
  OutboxState state;
  sqlite3* db = nullptr;
  if (sqlite3_open_v2((folder + "/outbox.sqlite").c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) ==
      SQLITE_OK) {
    sqlite3_busy_timeout(db, 2000);
    const auto query = [&](const char* sql, auto&& read) {
      sqlite3_stmt* statement = nullptr;
      if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) == SQLITE_OK &&
          sqlite3_step(statement) == SQLITE_ROW) {
        read(statement);
      }
      sqlite3_finalize(statement);
    };
    query("SELECT id FROM stream", [&](sqlite3_stmt* s) {
      state.stream = reinterpret_cast<const char*>(sqlite3_column_text(s, 0));
    });
    query("SELECT last_sequence FROM totals",
          [&](sqlite3_stmt* s) { state.lastSequence = sqlite3_column_int64(s, 0); });
    query("SELECT count(*) FROM unreported",
          [&](sqlite3_stmt* s) { state.unreported = sqlite3_column_int64(s, 0); });
  }
  sqlite3_close(db);
  return state;
}

// With the collector up and the others gone: consent given, and requests
// stored until nothing is pending and nothing is left to tell (each notice
// goes out with a request). Returns the closing requests stored.
int Drain(const std::string& folder, const std::string& url) {
  Delivery_Options options = ChaosOptions();
  options.maxAgeSeconds = 0;  // the defaults: nothing more is dropped
  options.maxRequests = 0;
  options.maxBytes = 0;
  Delivery_Outbox* outbox = Open(folder, url, options);
  Delivery_SetConsent(outbox, DELIVERY_CONSENT_GIVEN, nullptr, 0);
  int closing = 0;
  std::mt19937_64 random(0);
  for (const auto end = Clock::now() + std::chrono::seconds(60); Clock::now() < end;) {
    const int64_t pending = Delivery_Wait(outbox, 2000);
    if (pending != 0) continue;
    if (ReadOutbox(folder).unreported == 0) break;
    std::string message = TestMessage(TestEvent("a_closing", closing++));
    Delivery_Submit(outbox, message.c_str(), nullptr, nullptr, nullptr, 0);
  }
  Delivery_Close(outbox, 0);
  return closing;
}

int RunChaos(const Settings& settings, const std::string& self) {
  const std::string scratch = ScratchFolder(), outbox = scratch + "/outbox";
  std::mt19937_64 random(settings.seed);
  std::uniform_real_distribution<double> chance(0, 1);
  Collector collector(scratch);
  const auto spawnWorker = [&] {
    return Spawn({self, "--worker", outbox, collector.Url(), std::to_string(random())},
                 scratch + "/workers.log");
  };
  std::vector<pid_t> workers;
  for (int i = 0; i < settings.workers; ++i) workers.push_back(spawnWorker());
  int started = settings.workers, killed = 0, collectorStops = 0;
  auto collectorBack = Clock::time_point::max();
  for (const auto end = Clock::now() + std::chrono::seconds(settings.seconds);
       Clock::now() < end;) {
    Sleep(50 + static_cast<int>(random() % 250));
    for (pid_t& worker : workers) {  // one that finished is replaced
      if (waitpid(worker, nullptr, WNOHANG) == worker) worker = spawnWorker(), ++started;
    }
    if (chance(random) < 0.2) {
      pid_t& victim = workers[random() % workers.size()];
      kill(victim, SIGKILL);
      waitpid(victim, nullptr, 0);
      victim = spawnWorker();
      ++killed, ++started;
    }
    if (collector.Up() && chance(random) < 0.1) {
      collector.Stop(chance(random) < 0.5 ? SIGKILL : SIGTERM);
      collectorBack = Clock::now() + milliseconds(300 + random() % 2500);
      ++collectorStops;
    } else if (!collector.Up() && Clock::now() >= collectorBack) {
      collector.Start();
    }
  }
  for (pid_t worker : workers) {
    kill(worker, SIGKILL);
    waitpid(worker, nullptr, 0);
  }
  if (!collector.Up()) collector.Start();
  const int closing = Drain(outbox, collector.Url());
  collector.Stop(SIGTERM);

  const OutboxState state = ReadOutbox(outbox);
  const nlohmann::json streams = collector.Report()["streams"];
  nlohmann::json ledger = streams.contains(state.stream) ? streams[state.stream] : nlohmann::json();
  std::int64_t dropped = 0;
  const nlohmann::json reasons = ledger.value("dropped", nlohmann::json::object());
  for (const auto& [reason, count] : reasons.items()) dropped += count.get<std::int64_t>();
  const std::int64_t delivered = ledger.value("delivered", 0);
  nlohmann::json result = {{"processes", settings.workers}, {"seconds", settings.seconds},
                           {"seed", settings.seed},         {"processes_started", started},
                           {"processes_killed", killed},    {"collector_stops", collectorStops},
                           {"closing_requests", closing},   {"stored", state.lastSequence},
                           {"streams", streams.size()},     {"stream", ledger}};
  if (ledger.contains("ranges")) result["stream"].erase("ranges");
  std::printf("%s\n", result.dump(1).c_str());

  std::string failure;
  if (ledger.is_null())
    failure = "the collector has no ledger of the stream";
  else if (ledger["unaccounted"] != 0)
    failure = "numbers unaccounted for";
  else if (delivered + dropped != state.lastSequence)
    failure = "received + dropped != stored";
  else if (ledger["highest"] != state.lastSequence)
    failure = "the highest number is not the last";
  else if (state.unreported != 0)
    failure = "notices left untold";
  else if (streams.size() != 1)
    failure = "more than one stream";
  if (!failure.empty()) {
    std::fprintf(stderr, "delivery_chaos: %s (files kept in %s)\n", failure.c_str(),
                 scratch.c_str());
    return 1;
  }
  std::filesystem::remove_all(scratch);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    if (arguments.size() == 4 && arguments[0] == "--worker") {
      return RunWorker(arguments[1], arguments[2], std::stoull(arguments[3]));
    }
    Settings settings;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
      const bool valued = i + 1 < arguments.size();
      if (arguments[i] == "--small") {
        settings.workers = 3, settings.seconds = 10;
      } else if (arguments[i] == "--seed" && valued) {
        settings.seed = std::stoull(arguments[++i]);
      } else if (arguments[i] == "--seconds" && valued) {
        settings.seconds = std::stoi(arguments[++i]);
      } else if (arguments[i] == "--workers" && valued) {
        settings.workers = std::max(1, std::stoi(arguments[++i]));
      } else {
        std::fprintf(stderr,
                     "usage: delivery_chaos [--small] [--seed N] [--seconds S] [--workers N]\n");
        return 2;
      }
    }
    signal(SIGPIPE, SIG_IGN);
    return RunChaos(settings, std::filesystem::read_symlink("/proc/self/exe").string());
  } catch (const std::exception& error) {
    std::fprintf(stderr, "delivery_chaos: %s\n", error.what());
    return 1;
  }
}
