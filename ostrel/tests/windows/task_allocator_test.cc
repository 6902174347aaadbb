// ostrel.dll hands out its texts from the COM task allocator, the one that
// CoTaskMemFree and the .NET marshaller release them to.
#define WIN32_LEAN_AND_MEAN
#include <objbase.h>
#include <windows.h>
// psapi.h needs windows.h first.
#include <psapi.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "ostrel.h"

namespace {

// The process's commit charge: memory it has committed for itself.
std::size_t CommittedBytes() {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  K32GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
  return counters.PagefileUsage;
}

class TaskAllocator : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(CoGetMalloc(1, &allocator), S_OK);
    // The check below is worth something only where the allocator tells its
    // own blocks from the C heap's.
    void* own = CoTaskMemAlloc(16);
    void* foreign = std::malloc(16);
    const int ownAnswer = allocator->DidAlloc(own);
    const int foreignAnswer = allocator->DidAlloc(foreign);
    CoTaskMemFree(own);
    std::free(foreign);
    ASSERT_EQ(ownAnswer, 1) << "the task allocator does not recognise its own block";
    ASSERT_EQ(foreignAnswer, 0) << "the task allocator claims a malloc'd block";
    Tavi_Destroy();
    DrainQueue();
  }

  void TearDown() override {
    Tavi_Destroy();
    DrainQueue();
    if (allocator != nullptr) allocator->Release();
  }

  // Checks that `text` is a task allocator block holding `expected`, then
  // releases it as a C caller on Windows does.
  void ExpectTaskText(char* text, const char* expected) {
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(allocator->DidAlloc(text), 1) << text;
    EXPECT_NE(std::strstr(text, expected), nullptr) << text;
    CoTaskMemFree(text);
  }

  static void DrainQueue() {
    for (int count = Tavi_MessagesCount(); count > 0; --count) CoTaskMemFree(Tavi_Zel_GetMessage());
  }

  IMalloc* allocator = nullptr;
};

TEST_F(TaskAllocator, EveryReturnedTextIsATaskAllocatorBlock) {
  ExpectTaskText(Tavi_Get_Version(), "2.0.1");
  ExpectTaskText(Tavi_Zel_GetMessage(), "");  // empty queue: a new empty text
  Tavi_Init("task-allocator");
  Tavi_Update();
  ASSERT_EQ(Tavi_MessagesCount(), 1);
  ExpectTaskText(Tavi_Zel_GetMessage(), "_session.start");
  ExpectTaskText(Tavi_Get_Version(), "2.0.1");
}

// Each cycle takes a new request (an attribution change flushes at once) and
// the version, and frees both with CoTaskMemFree: the process heap stays
// sound and the memory in use does not grow.
TEST_F(TaskAllocator, TextsSurviveAHundredThousandTakeAndFreeCycles) {
  constexpr int kCycles = 100000;
  Tavi_Init("take-and-free");
  const std::size_t before = CommittedBytes();
  for (int cycle = 0; cycle < kCycles; ++cycle) {
    Tavi_SetAttribution(cycle % 2 == 0 ? "campaign=even" : "campaign=odd");
    ASSERT_EQ(Tavi_MessagesCount(), 1) << "cycle " << cycle;
    char* message = Tavi_Zel_GetMessage();
    char* version = Tavi_Get_Version();
    ASSERT_TRUE(message != nullptr && version != nullptr) << "cycle " << cycle;
    ASSERT_EQ(allocator->DidAlloc(message), 1) << "cycle " << cycle;
    ASSERT_EQ(allocator->DidAlloc(version), 1) << "cycle " << cycle;
    CoTaskMemFree(message);
    CoTaskMemFree(version);
  }
  EXPECT_TRUE(HeapValidate(GetProcessHeap(), 0, nullptr));
  // 100,000 requests of about a kilobyte each: a leak would show in tens of
  // megabytes.
  EXPECT_LT(CommittedBytes(), before + 16 * 1024 * 1024);
}

}  // namespace
