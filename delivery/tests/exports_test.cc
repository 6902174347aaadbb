// The C interface through libostrel_delivery.so, as a game calls it.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "collector_process.h"
#include "ostrel_delivery.h"
#include "scratch_folder.h"
#include "test_messages.h"

namespace {

struct Seen {
  std::mutex mutex;
  std::vector<std::string> lines;  // "<kind> <key> <status> <senderThread>[ count=<n>]"
};

void Record(void* context, const Delivery_Event* event) {
  auto* seen = static_cast<Seen*>(context);
  std::lock_guard<std::mutex> lock(seen->mutex);
  std::string line = std::to_string(event->kind) + " " + event->key + " " +
                     std::to_string(event->status) + " " + std::to_string(event->senderThread);
  if (event->count != 0) line += " count=" + std::to_string(event->count);
  seen->lines.push_back(line);
}

}  // namespace

TEST(Exports, OpenRefusesAnUnusableCollectorWithTheReason) {
  char error[40];
  EXPECT_EQ(Delivery_Open("/tmp/x", "ftp://h", nullptr, nullptr, nullptr, error, sizeof error),
            nullptr);
  EXPECT_EQ(std::string(error), "invalid collector URL: scheme \"ftp\" is ") << "cut to the buffer";
  EXPECT_EQ(Delivery_Open("", "http://h", nullptr, nullptr, nullptr, nullptr, 0), nullptr);
  EXPECT_EQ(Delivery_CheckCollectorUrl("http://h/path", error, sizeof error), 0);
  EXPECT_EQ(Delivery_CheckCollectorUrl("https://h:8443/", nullptr, 0), 1);
  EXPECT_EQ(Delivery_Close(nullptr, 0), 0);
  EXPECT_STREQ(Delivery_Version(), "2.0.0");
}

TEST(Exports, SubmitStoresAndTheSenderReportsOnItsThread) {
  ScratchFolder folder;
  CollectorProcess collector;
  Seen seen;
  Delivery_Options options;
  Delivery_DefaultOptions(&options);
  EXPECT_EQ(options.maxRequests, 10000);
  EXPECT_EQ(options.maxAgeSeconds, 7 * 24 * 3600);
  options.maxRequests = 0;  // 0: the default
  char error[256] = "";
  Delivery_Outbox* outbox = Delivery_Open(folder.Path().c_str(), collector.Url().c_str(), &options,
                                          Record, &seen, error, sizeof error);
  ASSERT_NE(outbox, nullptr) << error;

  char key[DELIVERY_KEY_SIZE];
  int64_t bytes = 0;
  const std::string message = TestMessage(TestEvent("a_x", 1));
  ASSERT_EQ(Delivery_Submit(outbox, message.c_str(), key, &bytes, error, sizeof error),
            DELIVERY_STORED)
      << error;
  EXPECT_EQ(std::strlen(key), 36u);
  EXPECT_EQ(key[14], '4');
  EXPECT_GT(bytes, 0);
  EXPECT_EQ(Delivery_Submit(outbox, "not a message", nullptr, nullptr, error, sizeof error),
            DELIVERY_MALFORMED);
  EXPECT_STREQ(error, "malformed request message: not JSON text");
  EXPECT_EQ(Delivery_Wait(outbox, 20000), 0);

  Delivery_Counts counts;
  Delivery_GetCounts(outbox, &counts);
  EXPECT_EQ(counts.stored, 1);
  EXPECT_EQ(counts.sent, 1);
  EXPECT_EQ(Delivery_Close(outbox, 0), 0);
  EXPECT_EQ(seen.lines, std::vector<std::string>{"1 " + std::string(key) + " 200 1"});
}

TEST(Exports, CallsRacingCloseFindTheHandleClosedNotFreedMemory) {
  ScratchFolder folder;
  ClosedPort refusing;
  const std::string message = TestMessage(TestEvent("a_x", 1));
  for (int round = 0; round < 10; ++round) {
    Delivery_Outbox* outbox = Delivery_Open(folder.Path().c_str(), refusing.Url().c_str(), nullptr,
                                            nullptr, nullptr, nullptr, 0);
    ASSERT_NE(outbox, nullptr);
    std::atomic<bool> stop{false};
    std::atomic<int> closedSeen{0};
    std::vector<std::thread> callers;
    for (int n = 0; n < 3; ++n) {
      callers.emplace_back([&] {
        while (!stop) {
          char error[64] = "";
          if (Delivery_Submit(outbox, message.c_str(), nullptr, nullptr, error, sizeof error) ==
                  DELIVERY_NOT_STORED &&
              std::strstr(error, "closed") != nullptr) {
            ++closedSeen;
          }
          Delivery_Counts counts;
          Delivery_GetCounts(outbox, &counts);
          Delivery_Pending(outbox);
          Delivery_Wait(outbox, 1);
        }
      });
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    const int64_t left = Delivery_Close(outbox, 0);
    while (closedSeen < 3) std::this_thread::yield();
    stop = true;
    for (std::thread& caller : callers) caller.join();
    EXPECT_GE(left, 0);
    EXPECT_EQ(Delivery_Close(outbox, 0), left) << "a second Close returns what the first did";
    EXPECT_EQ(Delivery_Pending(outbox), -1);
  }
}

TEST(Exports, ConsentAndItsPurgeThroughTheCInterface) {
  ScratchFolder folder;
  ClosedPort refusing;
  Seen seen;
  Delivery_Options options;
  Delivery_DefaultOptions(&options);
  EXPECT_EQ(options.requireConsent, 0);
  EXPECT_EQ(options.uncompressed, 0);
  options.requireConsent = 1;
  Delivery_Outbox* outbox = Delivery_Open(folder.Path().c_str(), refusing.Url().c_str(), &options,
                                          Record, &seen, nullptr, 0);
  ASSERT_NE(outbox, nullptr);
  char error[128] = "";
  EXPECT_EQ(Delivery_SetConsent(outbox, 7, error, sizeof error), 0);
  EXPECT_NE(std::string(error).find("not 7"), std::string::npos) << error;
  EXPECT_EQ(Delivery_Consent(outbox), DELIVERY_CONSENT_UNDECIDED);
  const std::string message = TestMessage(TestEvent("a_x", 1));
  ASSERT_EQ(Delivery_Submit(outbox, message.c_str(), nullptr, nullptr, nullptr, 0),
            DELIVERY_STORED);
  EXPECT_EQ(Delivery_Wait(outbox, 20000), 1) << "held, and at once";
  EXPECT_EQ(Delivery_SetConsent(outbox, DELIVERY_CONSENT_DENIED, error, sizeof error), 1) << error;
  EXPECT_EQ(Delivery_Consent(outbox), DELIVERY_CONSENT_DENIED);
  EXPECT_EQ(Delivery_Submit(outbox, message.c_str(), nullptr, nullptr, error, sizeof error),
            DELIVERY_NO_CONSENT);
  EXPECT_EQ(Delivery_Close(outbox, 0), 0);
  EXPECT_EQ(seen.lines, std::vector<std::string>{"7  0 0 count=1"});
  EXPECT_EQ(Delivery_SetConsent(outbox, DELIVERY_CONSENT_GIVEN, error, sizeof error), 0);
  EXPECT_EQ(Delivery_Consent(outbox), -1) << "closed";
}
