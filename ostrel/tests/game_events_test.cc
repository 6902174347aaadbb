#include "game_events.h"

#include <limits>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "fake_clock.h"
#include "request_queue.h"
#include "services_client.h"
#include "take_message.h"

namespace {

using Ostrel::EventCategory;
namespace GameEvents = Ostrel::GameEvents;

using Attributes = std::vector<AnalyticsEvent::Attribute>;
using Metrics = std::vector<AnalyticsEvent::Metric>;

class GameEventsTest : public ::testing::Test {
 protected:
  // The buffer starts with "session.start"; each test looks at what follows.
  const AnalyticsEvent& Last() const { return services.BufferedEvents().back(); }
  std::size_t Buffered() const { return services.BufferedEvents().size(); }

  FakeClock clock{1700000000};
  ServicesClient services{"proj"};
};

TEST_F(GameEventsTest, RecordsTheFixedEventsWithTheGameCategory) {
  const struct {
    void (*record)(ServicesClient&);
    const char* name;
  } fixed[] = {
      {GameEvents::RecordStartLoading, "Start_loading"},
      {GameEvents::RecordFinishLoading, "Finish_loading"},
      {GameEvents::RecordTutorialStart, "Tutorial_start"},
      {GameEvents::RecordTutorialFinish, "Tutorial_finish"},
  };
  for (const auto& event : fixed) {
    event.record(services);
    EXPECT_EQ(Last().Name(), event.name);
    EXPECT_EQ(Last().Category(), EventCategory::Game());
    EXPECT_TRUE(Last().Attributes().empty());
    EXPECT_TRUE(Last().Metrics().empty());
    EXPECT_EQ(Last().Timestamp(), 1700000000000);
  }

  for (int level : {7, -1, 2147483647}) {
    GameEvents::RecordLevelUp(services, level);
    EXPECT_EQ(Last().Name(), "Levelup");
    EXPECT_EQ(Last().Metrics(), (Metrics{{"level", static_cast<double>(level)}}));
  }
}

TEST_F(GameEventsTest, RecordsThePurchaseInItsKeyOrder) {
  GameEvents::RecordPurchase(services, 0.99, "EUR", "gold.100", 3, 1, "Gold", 0);
  EXPECT_EQ(Last().Name(), "Purchase");
  EXPECT_EQ(Last().Category(), EventCategory::Game());
  EXPECT_EQ(Last().Attributes(),
            (Attributes{{"currency", "EUR"}, {"sku", "gold.100"}, {"name", "Gold"}}));
  EXPECT_EQ(Last().Metrics(),
            (Metrics{{"price", 0.99}, {"amount", 3}, {"validated", 1}, {"sandbox", 0}}));

  // Only the low byte of each boolean slot counts.
  GameEvents::RecordPurchase(services, 0, "", "", 0, 256, "", 0x1FF);
  EXPECT_EQ(Last().Metrics()[2], (AnalyticsEvent::Metric{"validated", 0}));
  EXPECT_EQ(Last().Metrics()[3], (AnalyticsEvent::Metric{"sandbox", 255}));
  EXPECT_EQ(Last().Attributes(), (Attributes{{"currency", ""}, {"sku", ""}, {"name", ""}}));
}

TEST_F(GameEventsTest, ConvertsCustomEventValues) {
  const struct {
    const char* json;
    Attributes attributes;
    Metrics metrics;
  } cases[] = {
      {R"({"s":"text","i":42,"n":-7,"f":0.1,"b":true})",
       {{"s", "text"}},
       {{"f", 0.100000001490116119384765625}, {"i", 42}, {"n", -7}}},
      {R"({"b":1,"a":2})", {}, {{"a", 2}, {"b", 1}}},
      {"4294967297", {}, {{"", 1}}},             // 2^32 + 1: low 32 bits
      {"4294967295", {}, {{"", 4294967295.0}}},  // 2^32 - 1 read unsigned
      {"-1", {}, {{"", -1}}},
      {"-2147483649", {}, {{"", 2147483647.0}}},  // -(2^31) - 1 read signed
      {"18446744073709551615", {}, {{"", 4294967295.0}}},
      {"5", {}, {{"", 5}}},
      // Beyond the float range: the largest float up to the halfway point to
      // 2^128, infinity from there on; too small for a float: zero.
      {"3.4028235e38", {}, {{"", std::numeric_limits<float>::max()}}},
      {"3.5e38", {}, {{"", std::numeric_limits<double>::infinity()}}},
      {"-1e40", {}, {{"", -std::numeric_limits<double>::infinity()}}},
      {"1e-46", {}, {{"", 0.0}}},
      {R"(["x",2.5,null,{"nested":1}])", {{"0", "x"}}, {{"1", 2.5}}},
      {"true", {}, {}},
      {"null", {}, {}},
      {"{}", {}, {}},
      {"[]", {}, {}},
      {R"({"k":1,"k":2})", {}, {{"k", 2}}},
  };
  for (const auto& c : cases) {
    const std::size_t before = Buffered();
    EXPECT_TRUE(GameEvents::RecordCustom(services, "Custom", c.json)) << c.json;
    ASSERT_EQ(Buffered(), before + 1) << c.json;
    EXPECT_EQ(Last().Name(), "Custom");
    EXPECT_EQ(Last().Category(), EventCategory::Custom());
    EXPECT_EQ(Last().Attributes(), c.attributes) << c.json;
    EXPECT_EQ(Last().Metrics(), c.metrics) << c.json;
  }
}

TEST_F(GameEventsTest, IgnoresCustomEventsThatAreNotJson) {
  for (const char* text : {"", "{", "{'a':1}", "[1,]", "/* c */ 1", "1 2", "\"\xFF\""}) {
    const std::size_t before = Buffered();
    EXPECT_FALSE(GameEvents::RecordCustom(services, "Custom", text)) << text;
    EXPECT_EQ(Buffered(), before) << text;
  }
}

TEST_F(GameEventsTest, TheThirtiethEventFlushes) {
  Zel::TaviServicesHttpClientCurl queue;
  services.SetHttpClient(&queue);
  for (int i = 1; i < 29; ++i) GameEvents::RecordCustom(services, "e", "{}");
  EXPECT_EQ(Buffered(), 29u);
  GameEvents::RecordTutorialStart(services);
  EXPECT_EQ(Buffered(), 0u);
  const auto message = nlohmann::json::parse(TakeMessage(queue));
  const auto body = nlohmann::json::parse(message["data"].get<std::string>());
  EXPECT_EQ(body.size(), 30u);
  EXPECT_EQ(body[1]["event_type"], "c_e");
  EXPECT_EQ(body[29]["event_type"], "a_Tutorial_start");
}

}  // namespace
