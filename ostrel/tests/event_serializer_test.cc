#include "event_serializer.h"

#include <limits>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "fake_clock.h"
#include "message_writer.h"

namespace {

using Ostrel::EventCategory;
using Ostrel::SerializationContext;
using Ostrel::WriteEventsBody;

SerializationContext WorkedExampleContext() {
  SerializationContext context;
  context.userId = "u-1001";
  context.clientId = "client-7";
  context.appId = "app-42";
  context.packageName = "SamplePackage";
  context.title = "Sample Game";
  context.versionName = "1.2.3";
  context.versionCode = "45";
  context.platformName = "Windows";
  context.platformVersion = "10.0";
  context.localeCode = "en-US";
  context.language = "en";
  context.country = "US";
  context.sessionId = "s-0001";
  return context;
}

AnalyticsEvent Categorised(AnalyticsEvent event, EventCategory category) {
  event.SetCategory(std::move(category));
  return event;
}

std::string Write(const AnalyticsEvent& event, const SerializationContext& context = {}) {
  const std::deque<AnalyticsEvent> events{event};
  return WriteEventsBody({events, context});
}

nlohmann::json SerializeEvent(const AnalyticsEvent& event, const SerializationContext& context) {
  return nlohmann::json::parse(Write(event, context));
}

TEST(EventSerializer, WritesTheWorkedExampleByteForByte) {
  FakeClock clock(1700000000);
  const SerializationContext context = WorkedExampleContext();
  AnalyticsEvent levelUp("Levelup");
  levelUp.AddMetric("level", 7);

  EXPECT_EQ(
      Write(Categorised(levelUp, EventCategory::Game()), context),
      R"({"application":{"app_id":"app-42","cognito_identity_pool_id":"","package_name":"SamplePackage","sdk":{"name":"Services","version":"2.0.1"},"title":"Sample Game","version_code":"45","version_name":"1.2.3"},"arrival_timestamp":1700000000000,"attributes":{"user_id":"u-1001"},"client":{"client_id":"client-7","cognito_id":""},"device":{"locale":{"code":"en-US","country":"US","language":"en"},"make":"","model":"","platform":{"name":"Windows","version":"10.0"}},"event_timestamp":1700000000000,"event_type":"a_Levelup","event_version":"1.0","metrics":{"a_level":7.0},"session":{"session_id":"s-0001","start_timestamp":1700000000000,"stop_timestamp":1700000000000}})");

  // The same record as a custom event.
  levelUp.AddAttribute("sku", "gold");
  const nlohmann::json custom =
      SerializeEvent(Categorised(levelUp, EventCategory::Custom()), context);
  EXPECT_EQ(custom["event_type"], "c_Levelup");
  EXPECT_EQ(custom["metrics"].dump(), R"({"dsm_level":7.0})");
  EXPECT_EQ(custom["attributes"].dump(), R"({"dsa_sku":"gold","user_id":"u-1001"})");
}

TEST(EventSerializer, PrefixesKeysByCategory) {
  AnalyticsEvent event("session.start");
  event.AddAttribute("k", "v").AddMetric("m", 1);

  const nlohmann::json uncategorised = SerializeEvent(event, {});
  EXPECT_EQ(uncategorised["event_type"], "_session.start");
  EXPECT_EQ(uncategorised["attributes"].dump(), R"({"_k":"v","user_id":""})");
  EXPECT_EQ(uncategorised["metrics"].dump(), R"({"_m":1.0})");

  const nlohmann::json game = SerializeEvent(Categorised(event, EventCategory::Game()), {});
  EXPECT_EQ(game["event_type"], "a_session.start");
  EXPECT_EQ(game["attributes"].dump(), R"({"a_k":"v","user_id":""})");

  // Only the custom category itself takes "dsa_" and "dsm_".
  const nlohmann::json custom = SerializeEvent(Categorised(event, EventCategory::Custom()), {});
  EXPECT_EQ(custom["event_type"], "c_session.start");
  EXPECT_EQ(custom["attributes"].dump(), R"({"dsa_k":"v","user_id":""})");
  EXPECT_EQ(custom["metrics"].dump(), R"({"dsm_m":1.0})");
  const nlohmann::json lookalike = SerializeEvent(Categorised(event, EventCategory("c ")), {});
  EXPECT_EQ(lookalike["attributes"].dump(), R"({"c _k":"v","user_id":""})");
}

TEST(EventSerializer, BuildsAttributesAndMetricsObjects) {
  SerializationContext context;
  context.userId = "player";

  // No attributes: only "user_id"; no metrics: null.
  const nlohmann::json bare = SerializeEvent(AnalyticsEvent("x"), context);
  EXPECT_EQ(bare["attributes"].dump(), R"({"user_id":"player"})");
  EXPECT_TRUE(bare["metrics"].is_null());
  EXPECT_EQ(bare.size(), 10u);

  // Sorted keys, the later duplicate wins, "user_id" overrides a clashing key.
  AnalyticsEvent event("x");
  event.AddAttribute("b", "1").AddAttribute("a", "2").AddAttribute("b", "3");
  event.AddAttribute("id", "clash");
  event.AddMetric("z", 1).AddMetric("y", 2);
  const nlohmann::json json = SerializeEvent(Categorised(event, EventCategory("user")), context);
  EXPECT_EQ(json["attributes"].dump(), R"({"user_a":"2","user_b":"3","user_id":"player"})");
  EXPECT_EQ(json["metrics"].dump(), R"({"user_y":2.0,"user_z":1.0})");
  EXPECT_EQ(event.Attributes().size(), 4u);
}

TEST(EventSerializer, FormatsMetricValues) {
  const struct {
    double value;
    const char* text;
  } cases[] = {
      {7, "7.0"},
      {0, "0.0"},
      {-1, "-1.0"},
      {0.1, "0.1"},
      {0.99, "0.99"},
      {2147483647, "2147483647.0"},
      {1e300, "1e+300"},
      {-0.0, "-0.0"},
      {1e14, "100000000000000.0"},
      {1e15, "1e+15"},
      {1e16, "1e+16"},
      {1e-4, "0.0001"},
      {1e-5, "1e-05"},
      {5e-324, "5e-324"},
      {std::numeric_limits<double>::infinity(), "null"},
      {std::numeric_limits<double>::quiet_NaN(), "null"},
  };
  for (const auto& c : cases) {
    AnalyticsEvent event("x");
    event.AddMetric("m", c.value);
    EXPECT_NE(Write(event).find(std::string(R"("metrics":{"_m":)") + c.text + "}"),
              std::string::npos)
        << c.text;
  }
}

TEST(EventSerializer, EscapesControlCharactersAndCopiesUtf8) {
  SerializationContext context;
  context.userId = std::string("a\"b\\c/d\n\t\b\f\r") + '\x01' + '\x1f' + '\x7f';
  context.title = "Spiel \xC3\xBC \xE2\x82\xAC \xF0\x9F\x8E\xAE";
  const std::string text = Write(AnalyticsEvent("x"), context);
  EXPECT_NE(text.find(R"("user_id":"a\"b\\c/d\n\t\b\f\r\u0001\u001f)"
                      "\x7f"
                      R"(")"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("\"title\":\"Spiel \xC3\xBC \xE2\x82\xAC \xF0\x9F\x8E\xAE\""),
            std::string::npos);
}

TEST(EventSerializer, ReplacesInvalidUtf8WithoutTouchingValidText) {
  SerializationContext context;
  context.userId = "ok\xC3\xBC";
  AnalyticsEvent event("bad\xFF");
  event.AddAttribute("truncated", "\xE2\x82");
  const std::string text = Write(event, context);
  EXPECT_NE(text.find(R"("event_type":"_bad)"
                      "\xEF\xBF\xBD"
                      R"(")"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find(R"("_truncated":")"
                      "\xEF\xBF\xBD"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("\"user_id\":\"ok\xC3\xBC\""), std::string::npos);
  EXPECT_NO_THROW(nlohmann::json::parse(text));
}

TEST(EventSerializer, BodyIsAnObjectForOneEventAndAnArrayForSeveral) {
  std::deque<AnalyticsEvent> events{AnalyticsEvent("first")};
  const nlohmann::json one = nlohmann::json::parse(WriteEventsBody({events, {}}));
  ASSERT_TRUE(one.is_object());
  EXPECT_EQ(one["event_type"], "_first");

  events.emplace_back("second");
  const nlohmann::json two = nlohmann::json::parse(WriteEventsBody({events, {}}));
  ASSERT_TRUE(two.is_array());
  ASSERT_EQ(two.size(), 2u);
  EXPECT_EQ(two[0]["event_type"], "_first");
  EXPECT_EQ(two[1]["event_type"], "_second");
}

TEST(AnalyticsEvent, StampsWholeSecondsAndCopiesDeeply) {
  FakeClock clock(1234);
  AnalyticsEvent original("e");
  EXPECT_EQ(original.Timestamp(), 1234000);
  EXPECT_EQ(original.Category(), EventCategory());

  AnalyticsEvent copy = original;
  copy.AddAttribute("k", "v").AddMetric("m", 1);
  EXPECT_TRUE(original.Attributes().empty());
  EXPECT_TRUE(original.Metrics().empty());

  AnalyticsEvent& self = copy;
  copy = self;
  EXPECT_EQ(copy.Attributes().size(), 1u);
  EXPECT_EQ(copy.Metrics().size(), 1u);
}

}  // namespace
