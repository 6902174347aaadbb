// Every call a game makes on its thread per frame or per event, timed one by
// one through the public C interfaces (libostrel.so, libostrel_delivery.so):
// the median and 99th percentile in nanoseconds, and the heap allocations
// the calling thread makes per call. Printed as one Markdown table.
//
//   cmake --build --preset release --target game_thread_calls
//   build/release/bench/game_thread_calls [samples per row, default 2000]
//
// A plain program, not Google Benchmark: percentiles need every call timed
// on its own. The clock is std::chrono::steady_clock, Google Benchmark's
// own; the cost of reading it twice (measured the same way, with nothing in
// between) is taken off every sample. Allocations are counted by this
// program's own malloc, calloc and realloc, which every library's calls
// reach; only the calling thread's count (the delivery sender thread's
// work is not the game's).
//
// Floors: taking a message is set against a memcpy of the same bytes; a
// submit against a bare pwrite of the same bytes to a new place in a file,
// the two interleaved so that both see the same machine. Submits go at a
// game's pace, one every 4 ms, into an outbox in a temporary folder, the
// collector unreachable (http://127.0.0.1:9).
#include <fcntl.h>
#include <stdlib.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "game_session.h"
#include "ostrel.h"
#include "ostrel_delivery.h"

extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* block, size_t size);
}

namespace {

__attribute__((tls_model("initial-exec"))) thread_local std::size_t allocations = 0;

}  // namespace

extern "C" void* malloc(size_t size) {
  ++allocations;
  return __libc_malloc(size);
}

extern "C" void* calloc(size_t count, size_t size) {
  ++allocations;
  return __libc_calloc(count, size);
}

extern "C" void* realloc(void* block, size_t size) {
  ++allocations;
  return __libc_realloc(block, size);
}

namespace {

using Clock = std::chrono::steady_clock;

double Nanoseconds(Clock::time_point from, Clock::time_point to) {
  return std::chrono::duration<double, std::nano>(to - from).count();
}

// The samples of one row: nanoseconds and allocations of every call.
class Samples {
 public:
  explicit Samples(std::size_t expected) { times.reserve(expected); }

  template <typename Call>
  void Time(Call call) {
    const std::size_t allocationsBefore = allocations;
    const Clock::time_point start = Clock::now();
    call();
    const Clock::time_point end = Clock::now();
    allocated += allocations - allocationsBefore;
    times.push_back(Nanoseconds(start, end));
  }

  // The p-th percentile, less the clock's own cost, at least zero.
  double Percentile(double p, double overhead) const {
    std::vector<double> sorted = times;
    std::sort(sorted.begin(), sorted.end());
    const auto at = static_cast<std::size_t>(p / 100 * static_cast<double>(sorted.size() - 1));
    return std::max(0.0, sorted[at] - overhead);
  }
  double AllocationsPerCall() const {
    return static_cast<double>(allocated) / static_cast<double>(times.size());
  }

 private:
  std::vector<double> times;
  std::size_t allocated = 0;
};

// One line of the table; the floor is shown when it has a name.
struct Row {
  Row(std::string call, std::string situation, std::size_t expected, std::string floorName = "")
      : call(std::move(call)),
        situation(std::move(situation)),
        samples(expected),
        floor(floorName.empty() ? 0 : expected),
        floorName(std::move(floorName)) {}

  std::string call;
  std::string situation;
  Samples samples;
  Samples floor;
  std::string floorName;
};

// Takes every queued message and releases it.
void TakeAll() {
  for (int n = Tavi_MessagesCount(); n > 0; --n) std::free(Tavi_Zel_GetMessage());
}

// A large custom event: 40 members, texts and numbers, about 1.6 KB.
std::string LargeAttributes() {
  std::string json = "{";
  for (int i = 0; i < 40; ++i) {
    if (i > 0) json += ',';
    json += "\"stat_" + std::to_string(i) + "\":";
    json += i % 2 == 0 ? "\"value-" + std::to_string(i * 7919) + "-of-the-round\""
                       : std::to_string(i * 1.25);
  }
  return json + "}";
}

// An event recorded 29 times out of 30 (no flush due): the 30th flushes
// untimed and the message is taken away.
void TimeEvents(Samples& samples, int cycles, void (*record)(int)) {
  for (int cycle = 0; cycle < cycles; ++cycle) {
    for (int i = 0; i < GameSession::kEventsPerFlush - 1; ++i) samples.Time([&] { record(i); });
    record(GameSession::kEventsPerFlush);
    TakeAll();
  }
}

// Tavi_Zel_GetMessage on `count` messages that `queue` made, and a memcpy of
// each message's bytes.
void TimeTaking(Row& row, int count, void (*queue)(int)) {
  TakeAll();
  for (int i = 0; i < count; ++i) queue(i);
  std::vector<char> copy;
  for (int i = 0; i < count; ++i) {
    char* message = nullptr;
    row.samples.Time([&] { message = Tavi_Zel_GetMessage(); });
    const std::size_t size = std::strlen(message) + 1;
    copy.resize(size);
    row.floor.Time([&] { std::memcpy(copy.data(), message, size); });
    std::free(message);
  }
}

// One message of `events` events, as Tavi_Zel_GetMessage returns it.
std::string MessageOf(int events, GameSession::ExportsPlayer& player) {
  TakeAll();
  if (events == 1) {
    Tavi_SetAttribution("campaign=one-event");
  } else {
    GameSession::PlayThirtyEvents(player);
  }
  char* text = Tavi_Zel_GetMessage();
  std::string message = text;
  std::free(text);
  TakeAll();
  return message;
}

// Submits at a game's pace; each submit is followed by a pwrite of its
// bytes to the end of a file in the same folder.
void TimeSubmits(Row& one, Row& thirty, int count, const std::string& messageOne,
                 const std::string& messageThirty) {
  char folderTemplate[] = "/tmp/game_thread_calls.XXXXXX";
  const char* folder = mkdtemp(folderTemplate);
  if (folder == nullptr) {
    std::perror("mkdtemp");
    std::exit(1);
  }
  char error[256] = "";
  Delivery_Outbox* outbox =
      Delivery_Open(folder, "http://127.0.0.1:9", nullptr, nullptr, nullptr, error, sizeof error);
  const std::string filePath = std::string(folder) + "/pwrite.bin";
  const int file = open(filePath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (outbox == nullptr || file < 0) {
    std::fprintf(stderr, "cannot open the outbox or the file: %s\n", error);
    std::exit(1);
  }
  off_t offset = 0;
  Clock::time_point next = Clock::now();
  for (int i = 0; i < 2 * count; ++i) {
    const bool big = i % 2 == 1;
    const std::string& message = big ? messageThirty : messageOne;
    next += std::chrono::milliseconds(4);
    std::this_thread::sleep_until(next);
    int32_t result = DELIVERY_STORED;
    (big ? thirty : one).samples.Time([&] {
      result = Delivery_Submit(outbox, message.c_str(), nullptr, nullptr, nullptr, 0);
    });
    if (result != DELIVERY_STORED) {
      std::fprintf(stderr, "Delivery_Submit returned %d\n", result);
      std::exit(1);
    }
    ssize_t written = 0;
    (big ? thirty : one).floor.Time([&] {
      written = pwrite(file, message.data(), message.size(), offset);
    });
    if (written != static_cast<ssize_t>(message.size())) {
      std::perror("pwrite");
      std::exit(1);
    }
    offset += written;
  }
  close(file);
  Delivery_Close(outbox, 0);
  std::filesystem::remove_all(folder);
}

std::string Machine() {
  std::ifstream cpuinfo("/proc/cpuinfo");
  std::string line;
  std::string model = "unknown CPU";
  while (std::getline(cpuinfo, line)) {
    if (line.rfind("model name", 0) == 0) {
      model = line.substr(line.find(':') + 2);
      break;
    }
  }
  utsname system{};
  uname(&system);
  return model + ", " + std::to_string(std::thread::hardware_concurrency()) + " CPUs, " +
         system.sysname + " " + system.release;
}

void PrintTable(const std::vector<Row*>& rows, double overhead, int argc, char** argv) {
  char date[32];
  const std::time_t now = std::time(nullptr);
  std::strftime(date, sizeof date, "%Y-%m-%d %H:%M UTC", std::gmtime(&now));
  std::string command;
  for (int i = 0; i < argc; ++i) command += std::string(i > 0 ? " " : "") + argv[i];
  std::printf(
      "Measured %s on %s, load average %s, with `%s`.\n", date, Machine().c_str(),
      [] {
        std::ifstream load("/proc/loadavg");
        std::string first;
        load >> first;
        return first;
      }()
          .c_str(),
      command.c_str());
  std::printf(
      "Each call timed alone (steady_clock; the %.0f ns of reading it twice taken off, so "
      "figures below about 10 ns are at the clock's resolution).\n\n",
      overhead);
  std::printf(
      "| Call | Situation | p50 ns | p99 ns | Allocations per call | Floor: p50 / p99 ns |\n");
  std::printf("|---|---|---:|---:|---:|---|\n");
  for (const Row* row : rows) {
    std::string floor = "";
    if (!row->floorName.empty()) {
      char text[96];
      std::snprintf(text, sizeof text, "%s: %.0f / %.0f", row->floorName.c_str(),
                    row->floor.Percentile(50, overhead), row->floor.Percentile(99, overhead));
      floor = text;
    }
    std::printf("| `%s` | %s | %.0f | %.0f | %.2f | %s |\n", row->call.c_str(),
                row->situation.c_str(), row->samples.Percentile(50, overhead),
                row->samples.Percentile(99, overhead), row->samples.AllocationsPerCall(),
                floor.c_str());
  }
}

}  // namespace

int main(int argc, char** argv) {
  const int samples = argc > 1 ? std::max(100, std::atoi(argv[1])) : 2000;
  const int cycles = (samples + 28) / 29;
  const int submits = std::min(samples, 500);  // 4 ms apart: 4 s for 500 of each

  Samples empty(samples);
  for (int i = 0; i < samples; ++i) empty.Time([] {});
  const double overhead = empty.Percentile(50, 0);

  GameSession::ExportsPlayer player;
  static const std::string large = LargeAttributes();
  Row levelUp("Tavi_Event_LevelUp", "no flush due", samples);
  TimeEvents(levelUp.samples, cycles, [](int level) { Tavi_Event_LevelUp(level); });
  Row customSmall("Tavi_CustomEvent", "3 values (72 B), no flush due", samples);
  TimeEvents(customSmall.samples, cycles, [](int) {
    Tavi_CustomEvent("match_finished",
                     R"({"map":"frozen-harbor-night","mode":"ranked-arena-solo","score":1520})");
  });
  Row customLarge("Tavi_CustomEvent", "40 values (1.6 KB), no flush due", samples);
  TimeEvents(customLarge.samples, cycles,
             [](int) { Tavi_CustomEvent("round_stats", large.c_str()); });

  Row update("Tavi_Update", "no flush due", samples);
  for (int i = 0; i < samples; ++i) update.samples.Time([] { Tavi_Update(); });

  // A flush is due at the first update after Tavi_Init: the session's start
  // and 28 events, the most a timed flush can find.
  Row updateFlush("Tavi_Update", "flush due, 29 events buffered", samples / 10);
  for (int i = 0; i < samples / 10; ++i) {
    Tavi_Destroy();
    TakeAll();
    GameSession::ExportsPlayer::StartSession(false);
    for (int level = 0; level < 28; ++level) Tavi_Event_LevelUp(level);
    updateFlush.samples.Time([] { Tavi_Update(); });
    TakeAll();
  }
  GameSession::ExportsPlayer::StartSession(true);

  Row count("Tavi_MessagesCount", "", samples);
  for (int i = 0; i < samples; ++i) count.samples.Time([] { Tavi_MessagesCount(); });

  const int messages = std::min(samples, 400);
  Row takeOne("Tavi_Zel_GetMessage", "1-event message", messages, "memcpy");
  TimeTaking(takeOne, messages,
             [](int i) { Tavi_SetAttribution(i % 2 == 0 ? "campaign=even" : "campaign=odd"); });
  Row takeThirty("Tavi_Zel_GetMessage", "30-event message", messages, "memcpy");
  static GameSession::ExportsPlayer* sessionPlayer = &player;
  TimeTaking(takeThirty, messages, [](int) { GameSession::PlayThirtyEvents(*sessionPlayer); });

  const std::string messageOne = MessageOf(1, player);
  const std::string messageThirty = MessageOf(30, player);
  Row submitOne("Delivery_Submit",
                "1 event (" + std::to_string(messageOne.size()) + " B), every 4 ms", submits,
                "pwrite");
  Row submitThirty("Delivery_Submit",
                   "30 events (" + std::to_string(messageThirty.size()) + " B), every 4 ms",
                   submits, "pwrite");
  TimeSubmits(submitOne, submitThirty, submits, messageOne, messageThirty);

  PrintTable({&levelUp, &customSmall, &customLarge, &update, &updateFlush, &count, &takeOne,
              &takeThirty, &submitOne, &submitThirty},
             overhead, argc, argv);
  return 0;
}
