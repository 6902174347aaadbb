// The sample game driven through GameAssembly's exports, as the engine's
// player drives it, with its trace collected.
#include <arpa/inet.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <mutex>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "game_assembly.h"
#include "ostrel.h"

namespace {

using nlohmann::json;

const std::vector<std::string> kSessionEventTypes = {
    "_session.start",    "a_Start_loading",      "a_Finish_loading", "a_Tutorial_start",
    "c_tutorial_step",   "a_Tutorial_finish",    "a_Levelup",        "a_Purchase",
    "c_shop_visit",      "_init_attribution_pc", "a_Levelup",        "c_boss_defeated",
    "c_session_summary", "_session.stop"};

std::mutex linesMutex;
std::vector<json> lines;

void CollectLine(const char* line) {
  std::lock_guard<std::mutex> lock(linesMutex);
  lines.push_back(json::parse(line));
}

std::vector<json> LinesNamed(const std::string& name) {
  std::lock_guard<std::mutex> lock(linesMutex);
  std::vector<json> named;
  for (const json& line : lines) {
    if (line["event"] == name) named.push_back(line);
  }
  return named;
}

// The event types of every request the game took, in order.
std::vector<std::string> RequestedEventTypes() {
  std::vector<std::string> types;
  for (const json& line : LinesNamed("analytics.request")) {
    json body = json::parse(line["message"]["data"].get<std::string>());
    if (!body.is_array()) body = json::array({body});
    for (const json& event : body) types.push_back(event["event_type"]);
  }
  return types;
}

// A loopback port bound but never listening while it lives: every
// connection is refused, and no other test's server can take the port.
class RefusingPort {
 public:
  RefusingPort() : fd(socket(AF_INET, SOCK_STREAM, 0)) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    bind(fd, reinterpret_cast<sockaddr*>(&address), length);
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    port = ntohs(address.sin_port);
  }
  ~RefusingPort() { close(fd); }
  std::string Url() const { return "http://127.0.0.1:" + std::to_string(port); }

 private:
  int fd;
  int port = 0;
};

class SampleGame : public ::testing::Test {
 protected:
  void SetUp() override {
    lines.clear();
    GameAssembly_SetTraceSink(&CollectLine);
  }
  void TearDown() override {
    GameAssembly_SetCollector(nullptr, nullptr, nullptr, 0);
    GameAssembly_SetTraceSink(nullptr);
  }
  static void PlayFrames(int count) {
    for (int i = 0; i < count; ++i) ASSERT_FALSE(GameAssembly_RunFrame());
  }
  static void PlayToTheEnd() {
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (std::chrono::steady_clock::now() < limit) {
      if (GameAssembly_RunFrame()) return;
    }
    FAIL() << "the game did not quit";
  }
};

TEST_F(SampleGame, PlaysTheSessionAndTakesEveryRequestIncludingTheOneLeftAtDestroy) {
  GameAssembly_StartGame();
  PlayToTheEnd();
  EXPECT_EQ(RequestedEventTypes(), kSessionEventTypes);
  EXPECT_EQ(Tavi_MessagesCount(), 0);
  EXPECT_TRUE(LinesNamed("analytics.sent").empty()) << "no collector: requests are only traced";
  const std::size_t traced = LinesNamed("analytics.request").size();
  EXPECT_TRUE(GameAssembly_RunFrame()) << "a game that quit stays quit";
  EXPECT_EQ(LinesNamed("analytics.request").size(), traced);
}

TEST_F(SampleGame, RestartingMidSessionClosesTheOpenSessionFirst) {
  GameAssembly_StartGame();
  PlayFrames(12);  // up to the purchase, before the attribution flush
  GameAssembly_StartGame();
  std::vector<std::string> expected = {"_session.start",   "a_Start_loading", "a_Finish_loading",
                                       "a_Tutorial_start", "c_tutorial_step", "a_Tutorial_finish",
                                       "a_Levelup",        "a_Purchase",      "_session.stop"};
  EXPECT_EQ(RequestedEventTypes(), expected);
  PlayToTheEnd();
  expected.insert(expected.end(), kSessionEventTypes.begin(), kSessionEventTypes.end());
  EXPECT_EQ(RequestedEventTypes(), expected);
}

// As when the window closes in the middle of the session.
TEST_F(SampleGame, QuittingMidSessionEndsTheSessionAndTakesItsRequests) {
  GameAssembly_StartGame();
  PlayFrames(12);
  GameAssembly_Quit();
  const std::vector<std::string> expected = {
      "_session.start",   "a_Start_loading", "a_Finish_loading",
      "a_Tutorial_start", "c_tutorial_step", "a_Tutorial_finish",
      "a_Levelup",        "a_Purchase",      "_session.stop"};
  EXPECT_EQ(RequestedEventTypes(), expected);
  EXPECT_EQ(Tavi_MessagesCount(), 0);
  EXPECT_TRUE(GameAssembly_RunFrame()) << "the game has quit";
  GameAssembly_Quit();
  EXPECT_EQ(RequestedEventTypes(), expected) << "quitting twice quits once";
}

TEST_F(SampleGame, ItsVariablesAreCheckedLikeOptions) {
  char reason[160];
  for (const char* value : {"", "0", "250", "3600000"}) {
    setenv("SAMPLE_GAME_QUIT_WAIT_MS", value, 1);
    EXPECT_EQ(GameAssembly_CheckEnvironment(reason, sizeof reason), 1) << value;
  }
  for (const char* value : {"9223372036854775807", "18446744073709551617", "3600001", "-1", "1.5",
                            "0x10", " 7", "7 "}) {
    setenv("SAMPLE_GAME_QUIT_WAIT_MS", value, 1);
    EXPECT_EQ(GameAssembly_CheckEnvironment(reason, sizeof reason), 0) << value;
    EXPECT_EQ(std::string(reason),
              "SAMPLE_GAME_QUIT_WAIT_MS needs a whole number of milliseconds from 0 to 3600000, "
              "not \"" +
                  std::string(value) + "\"");
  }
  unsetenv("SAMPLE_GAME_QUIT_WAIT_MS");
  EXPECT_EQ(GameAssembly_CheckEnvironment(nullptr, 0), 1);
}

TEST_F(SampleGame, StoresEachRequestAndKeepsWhatItCannotDeliverForTheNextRun) {
  char folder[] = "/tmp/sample-game-outbox-XXXXXX";
  ASSERT_NE(mkdtemp(folder), nullptr);
  const RefusingPort refusing;
  const std::string reachableNowhere = refusing.Url();
  char reason[48];
  EXPECT_EQ(GameAssembly_SetCollector(reachableNowhere.c_str(), folder, reason, sizeof reason), 1);
  EXPECT_EQ(GameAssembly_SetCollector("ftp://collector.example", folder, reason, sizeof reason), 0);
  EXPECT_THAT(reason, ::testing::StartsWith("invalid collector URL"));
  EXPECT_EQ(std::string(reason).size(), sizeof reason - 1) << "cut to the buffer";
  EXPECT_EQ(GameAssembly_SetCollector("http://", folder, nullptr, 0), 0);
  EXPECT_EQ(GameAssembly_SetCollector(reachableNowhere.c_str(), "", nullptr, 0), 0);

  setenv("SAMPLE_GAME_QUIT_WAIT_MS", "200", 1);
  GameAssembly_StartGame();
  PlayToTheEnd();  // quits after its bounded wait, the collector never answering
  unsetenv("SAMPLE_GAME_QUIT_WAIT_MS");

  EXPECT_EQ(GameAssembly_RequestsNotDelivered(), 3);
  std::vector<json> lines;
  {
    std::lock_guard<std::mutex> lock(linesMutex);
    lines = ::lines;
  }
  std::size_t requests = 0;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (lines[i]["event"] != "analytics.request") continue;
    ++requests;
    ASSERT_LT(i + 1, lines.size());
    EXPECT_EQ(lines[i + 1]["event"], "analytics.stored") << "right after its request line";
    EXPECT_EQ(lines[i + 1]["key"].get<std::string>().size(), 36u);
    EXPECT_GT(lines[i + 1]["bytes"].get<int>(), 0);
  }
  EXPECT_EQ(requests, 3u);
  bool retried = false;
  for (const json& line : lines) {
    if (line["event"] != "analytics.retry") continue;
    retried = true;
    EXPECT_EQ(line["thread"], "delivery");
    EXPECT_EQ(line["status"], 0);
  }
  EXPECT_TRUE(retried);
  EXPECT_EQ(lines.back(), json::parse(R"({"event":"analytics.kept","count":3})"));
  std::filesystem::remove_all(folder);
}

}  // namespace
