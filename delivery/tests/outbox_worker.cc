// A process that uses an outbox beside the tests' own:
//   outbox_worker FOLDER COLLECTOR_URL NAME COUNT [MODE [ARGUMENT]]
// stores COUNT requests whose events are named after NAME, then by MODE:
//   (none)           waits until the outbox is empty (whichever process
//                    sends); status 0 once it is, within a minute
//   keep             closes at once, leaving what is pending (status 0)
//   killed MS        stores one request, waits MS milliseconds, stores the
//                    others, waits a second and a half (in which the sender
//                    copies the log into the database), then kills itself
//   handshake DIR    creates DIR/stored, waits for DIR/moved, stores COUNT
//                    more and closes at once (status 0)
//   stream FILE      stores requests of COUNT events each until killed,
//                    appending each key to FILE once Submit said stored
// Status 1 when a request is not stored.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "outbox.h"
#include "test_messages.h"

namespace {

bool StoreAll(Delivery::Outbox& outbox, const std::string& name, int count, int first = 0) {
  for (int i = first; i < first + count; ++i) {
    auto result = outbox.Submit(TestMessage(TestEvent("c_" + name, i)));
    if (result.status != Delivery::SubmitResult::Status::Stored) {
      std::fprintf(stderr, "not stored: %s\n", result.error.c_str());
      return false;
    }
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 5) {
    std::fprintf(stderr,
                 "usage: outbox_worker FOLDER COLLECTOR_URL NAME COUNT [MODE [ARGUMENT]]\n");
    return 2;
  }
  const std::string name = argv[3], mode = argc > 5 ? argv[5] : "";
  const int count = std::stoi(argv[4]);
  Delivery::OutboxOptions options;
  options.retry = {20, 100};
  Delivery::Outbox outbox(argv[1], argv[2], options, nullptr);
  using std::chrono::milliseconds;
  if (mode == "killed") {
    if (!StoreAll(outbox, name, 1)) return 1;
    std::this_thread::sleep_for(milliseconds(std::stoi(argv[6])));
    if (!StoreAll(outbox, name, count - 1, 1)) return 1;
    std::this_thread::sleep_for(milliseconds(1500));
    kill(getpid(), SIGKILL);
  }
  if (mode == "stream") {
    const int keys = open(argv[6], O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    nlohmann::json events = nlohmann::json::array();
    for (int i = 0; i < count; ++i) events.push_back(TestEvent("c_" + name, i));
    for (;;) {
      auto result = outbox.Submit(TestMessage(events));
      if (result.status != Delivery::SubmitResult::Status::Stored) return 1;
      result.key += '\n';
      if (write(keys, result.key.data(), result.key.size()) != 37) return 1;
    }
  }
  if (!StoreAll(outbox, name, count)) return 1;
  if (mode == "keep") return outbox.Close(milliseconds(0)) ? 0 : 1;
  if (mode == "handshake") {
    const std::string folder = argv[6];
    std::ofstream(folder + "/stored").close();
    while (!std::filesystem::exists(folder + "/moved")) {
      std::this_thread::sleep_for(milliseconds(5));
    }
    if (!StoreAll(outbox, name, count, count)) return 1;
    return outbox.Close(milliseconds(0)) ? 0 : 1;
  }
  return outbox.Close(std::chrono::seconds(60)) == 0 ? 0 : 1;
}
