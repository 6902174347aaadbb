// The C interface as a game calls it, through the shared library.
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "ostrel.h"
#include "release_text.h"

namespace {

using nlohmann::json;

// Takes a returned text and releases it as the header says.
std::string Adopt(char* text) {
  EXPECT_NE(text, nullptr);
  std::string copy = text != nullptr ? text : "";
  ReleaseText(text);
  return copy;
}

std::vector<json> TakeAllBodies() {
  std::vector<json> bodies;
  for (int count = Tavi_MessagesCount(); count > 0; --count) {
    const json message = json::parse(Adopt(Tavi_Zel_GetMessage()));
    bodies.push_back(json::parse(message["data"].get<std::string>()));
  }
  return bodies;
}

// Each test starts uninitialised with an empty queue.
class Exports : public ::testing::Test {
 protected:
  void SetUp() override {
    Tavi_Destroy();
    TakeAllBodies();
  }
  void TearDown() override { SetUp(); }
};

TEST_F(Exports, VersionIsANewTextInEveryState) {
  char* first = Tavi_Get_Version();
  char* second = Tavi_Get_Version();
  EXPECT_NE(first, second);
  EXPECT_EQ(Adopt(first), "2.0.1");
  EXPECT_EQ(Adopt(second), "2.0.1");
  Tavi_Init("p");
  EXPECT_EQ(Adopt(Tavi_Get_Version()), "2.0.1");
}

TEST_F(Exports, CallsWhileUninitialisedAreSafeAndDoNothing) {
  Tavi_Init(nullptr);
  Tavi_Init("");
  Tavi_SetUser("u");
  Tavi_SetClient("c");
  Tavi_SetAttribution("a");
  Tavi_SetAppData("a", "b", "c", "d", "e");
  Tavi_SetDeviceLocale("en-US");
  Tavi_SetPlatform("x", "y");
  Tavi_Event_LevelUp(1);
  Tavi_EventStartLoading();
  Tavi_EventFinishLoading();
  Tavi_EventTutorialStart();
  Tavi_EventTutorialFinish();
  Tavi_EventPurchase("a", "b", 1, "c", "d", 1, 1, "e", 1);
  Tavi_CustomEvent("n", "{}");
  Tavi_Update();
  EXPECT_EQ(Tavi_MessagesCount(), 0);
  EXPECT_EQ(Adopt(Tavi_Zel_GetMessage()), "");  // empty queue: a new empty text
  Tavi_Destroy();
  EXPECT_EQ(Tavi_MessagesCount(), 0);
}

TEST_F(Exports, NullTextsReadAsEmptyTexts) {
  Tavi_Init("p");
  Tavi_SetUser(nullptr);
  Tavi_SetClient(nullptr);
  Tavi_SetAttribution(nullptr);  // equals the empty start value: no event
  Tavi_SetAppData(nullptr, nullptr, nullptr, nullptr, nullptr);
  Tavi_SetDeviceLocale(nullptr);
  Tavi_SetPlatform(nullptr, nullptr);
  Tavi_EventPurchase(nullptr, nullptr, 0.99, nullptr, nullptr, 2, 1, nullptr, 0);
  Tavi_CustomEvent(nullptr, nullptr);
  Tavi_Update();
  const std::vector<json> bodies = TakeAllBodies();
  ASSERT_EQ(bodies.size(), 1u);
  const json& batch = bodies[0];
  ASSERT_EQ(batch.size(), 3u);

  const json& purchase = batch[1];
  EXPECT_EQ(purchase["event_type"], "a_Purchase");
  EXPECT_EQ(purchase["attributes"],
            json({{"a_currency", ""}, {"a_name", ""}, {"a_sku", ""}, {"user_id", ""}}));
  EXPECT_EQ(purchase["metrics"].dump(),
            R"({"a_amount":2.0,"a_price":0.99,"a_sandbox":0.0,"a_validated":1.0})");
  EXPECT_EQ(purchase["device"]["platform"], json({{"name", ""}, {"version", ""}}));
  EXPECT_EQ(purchase["application"]["app_id"], "");

  const json& custom = batch[2];
  EXPECT_EQ(custom["event_type"], "c_");
  EXPECT_EQ(custom["attributes"], json({{"user_id", ""}}));
  EXPECT_TRUE(custom["metrics"].is_null());
}

TEST_F(Exports, CustomEventThatIsNotJsonRecordsNothing) {
  Tavi_Init("p");
  for (int i = 0; i < 40; ++i) Tavi_CustomEvent("bad", "{not json");
  Tavi_CustomEvent("good", R"({"v":0.1})");
  Tavi_Update();
  const std::vector<json> bodies = TakeAllBodies();
  ASSERT_EQ(bodies.size(), 1u);
  ASSERT_EQ(bodies[0].size(), 2u);
  EXPECT_EQ(bodies[0][1]["event_type"], "c_good");
  EXPECT_EQ(bodies[0][1]["metrics"]["dsm_v"].get<double>(), static_cast<double>(0.1f));
}

}  // namespace
