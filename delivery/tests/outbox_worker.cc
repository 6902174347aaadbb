// One of the processes that share an outbox in the two-process test:
//   outbox_worker FOLDER COLLECTOR_URL NAME COUNT
// stores COUNT requests whose events are named after NAME, then waits until
// the outbox is empty (whichever process sends). Exit status 0 when all
// were stored and the outbox emptied within a minute.
#include <chrono>
#include <cstdio>
#include <string>

#include "outbox.h"
#include "test_messages.h"

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: outbox_worker FOLDER COLLECTOR_URL NAME COUNT\n");
    return 2;
  }
  Delivery::OutboxOptions options;
  options.retry = {20, 100};
  Delivery::Outbox outbox(argv[1], argv[2], options, nullptr);
  for (int i = 0; i < std::stoi(argv[4]); ++i) {
    auto result = outbox.Submit(TestMessage(TestEvent(std::string("c_") + argv[3], i)));
    if (result.status != Delivery::SubmitResult::Status::Stored) {
      std::fprintf(stderr, "not stored: %s\n", result.error.c_str());
      return 1;
    }
  }
  return outbox.Close(std::chrono::seconds(60)) == 0 ? 0 : 1;
}
