#include "services_client.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "fake_clock.h"
#include "request_queue.h"
#include "take_message.h"
#include "utils_client.h"

namespace {

using nlohmann::json;
using Ostrel::EventCategory;

// A utilities client with scripted identifiers that counts its calls.
class ScriptedUtils final : public TaviServices::UtilsClient {
 public:
  std::string GenerateId() override {
    ++generated;
    return nextId;
  }
  void SetValue(const std::string& key, const std::string& value) override {
    writes.push_back(key + "=" + value);
    store.SetValue(key, value);
  }
  std::string GetValue(const std::string& key, const std::string& fallback) override {
    return store.GetValue(key, fallback);
  }

  std::string nextId;
  int generated = 0;
  std::vector<std::string> writes;
  Zel::TaviServicesUtilsClient store;
};

class ServicesClientTest : public ::testing::Test {
 protected:
  ServicesClientTest() : services("proj") { services.SetHttpClient(&queue); }

  std::vector<std::string> BufferedNames() {
    std::vector<std::string> names;
    for (const AnalyticsEvent& event : services.BufferedEvents()) names.push_back(event.Name());
    return names;
  }

  json TakeBody() {
    return json::parse(json::parse(TakeMessage(queue))["data"].get<std::string>());
  }

  FakeClock clock{1700000000};
  Zel::TaviServicesHttpClientCurl queue;
  ServicesClient services;
};

TEST_F(ServicesClientTest, OpensTheSessionWithOneBufferedStartEvent) {
  EXPECT_EQ(BufferedNames(), std::vector<std::string>{"session.start"});
  EXPECT_EQ(services.BufferedEvents().front().Category(), EventCategory());
  EXPECT_EQ(queue.MessagesCount(), 0);
  EXPECT_EQ(services.Context().platformName, "Windows");
}

TEST_F(ServicesClientTest, DerivesSessionAndClientIdentifiers) {
  // A 40-byte identifier: the session keeps 27 bytes, the client id all 40.
  ScriptedUtils utils;
  utils.nextId = std::string(20, 'a') + std::string(20, 'b');
  services.AttachUtilities(&utils);
  EXPECT_EQ(services.Context().sessionId, utils.nextId.substr(0, 27));
  EXPECT_EQ(services.Context().clientId, utils.nextId);
  EXPECT_EQ(utils.writes, std::vector<std::string>{"clientID=" + utils.nextId});

  // A stored client id is taken without writing and without a second id.
  ServicesClient other("proj");
  ScriptedUtils stored;
  stored.store.SetValue("clientID", "kept");
  other.AttachUtilities(&stored);
  EXPECT_EQ(other.Context().clientId, "kept");
  EXPECT_EQ(stored.generated, 1);
  EXPECT_TRUE(stored.writes.empty());

  // A client id already set survives a later attach.
  ScriptedUtils fresh;
  other.AttachUtilities(&fresh);
  EXPECT_EQ(other.Context().clientId, "kept");
  EXPECT_EQ(fresh.generated, 1);
}

TEST_F(ServicesClientTest, WritesTheClientIdToTheStoreOnlyOnChange) {
  ScriptedUtils utils;
  services.AttachUtilities(&utils);  // empty ids: client id stays empty, no write
  EXPECT_TRUE(utils.writes.empty());

  services.SetClientId("one");
  services.SetClientId("one");
  EXPECT_EQ(utils.writes, std::vector<std::string>{"clientID=one"});
  services.SetClientId("two");
  EXPECT_EQ(utils.writes.size(), 2u);
  EXPECT_EQ(utils.GetValue("clientID", ""), "two");
  EXPECT_EQ(services.Context().clientId, "two");
}

TEST_F(ServicesClientTest, RecordsAndFlushesEachAttributionChange) {
  services.SetAttribution("");  // equals the initial value: nothing happens
  EXPECT_EQ(queue.MessagesCount(), 0);

  services.RecordEvent(AnalyticsEvent("Levelup"), EventCategory::Game());
  services.SetAttribution("campaign=1");
  services.SetAttribution("campaign=1");
  ASSERT_EQ(queue.MessagesCount(), 1);
  const json batch = TakeBody();
  ASSERT_EQ(batch.size(), 3u);
  EXPECT_EQ(batch[0]["event_type"], "_session.start");
  EXPECT_EQ(batch[1]["event_type"], "a_Levelup");
  EXPECT_EQ(batch[2]["event_type"], "_init_attribution_pc");
  EXPECT_EQ(batch[2]["attributes"]["_params"], "campaign=1");

  services.SetAttribution("campaign=2");
  ASSERT_EQ(queue.MessagesCount(), 1);
  EXPECT_EQ(TakeBody()["attributes"]["_params"], "campaign=2");

  // Without an HTTP client the event stays buffered, the text is still taken.
  services.SetHttpClient(nullptr);
  services.SetAttribution("campaign=3");
  services.SetAttribution("campaign=3");
  EXPECT_EQ(BufferedNames(), std::vector<std::string>{"init_attribution_pc"});
}

TEST_F(ServicesClientTest, DerivesLanguageAndCountryFromTheFirstFiveByteCode) {
  const struct {
    std::vector<std::string> codes;
    std::string language, country;
  } cases[] = {
      {{"en-US"}, "en", "US"},       {{"en_US"}, "en", "US"}, {{"en-US", "de-DE"}, "en", "US"},
      {{"en", "fr-CA"}, "fr", "CA"}, {{"en"}, "", ""},        {{"en-GBx"}, "", ""},
  };
  for (const auto& c : cases) {
    ServicesClient client("proj");
    for (const std::string& code : c.codes) client.SetDeviceLocale(code);
    EXPECT_EQ(client.Context().localeCode, c.codes.back());
    EXPECT_EQ(client.Context().language, c.language) << c.codes.back();
    EXPECT_EQ(client.Context().country, c.country) << c.codes.back();
  }
}

TEST_F(ServicesClientTest, ReplacesThePlatformEvenWithEmptyTexts) {
  services.SetPlatform("Xbox", "10.0.1");
  EXPECT_EQ(services.Context().platformName, "Xbox");
  services.SetPlatform("", "");
  EXPECT_EQ(services.Context().platformName, "");
  EXPECT_EQ(services.Context().platformVersion, "");
}

TEST_F(ServicesClientTest, TeardownFlushesEverythingWithTheStopEvent) {
  services.RecordEvent(AnalyticsEvent("Levelup"), EventCategory::Game());
  services.Teardown();
  ASSERT_EQ(queue.MessagesCount(), 1);
  const json batch = TakeBody();
  ASSERT_EQ(batch.size(), 3u);
  EXPECT_EQ(batch[2]["event_type"], "_session.stop");
  EXPECT_TRUE(services.BufferedEvents().empty());
}

TEST_F(ServicesClientTest, FlushesThroughItsHttpClientWithTheContextOfTheMoment) {
  services.SetUserId("before");
  services.RecordEvent(AnalyticsEvent("e"), EventCategory::Game());
  services.SetUserId("after");
  services.SetAppData("app", "pkg", "title", "1.0", "7");
  EXPECT_TRUE(services.Flush());
  const json batch = TakeBody();
  EXPECT_EQ(batch[1]["attributes"]["user_id"], "after");
  EXPECT_EQ(batch[1]["application"]["version_code"], "7");

  // The thirtieth buffered event flushes; without an HTTP client nothing is
  // sent, every recorded event from the thirtieth on reports it, and the
  // buffer keeps growing until a client takes all of it.
  services.SetHttpClient(nullptr);
  for (int i = 0; i < 29; ++i) {
    EXPECT_TRUE(services.RecordEvent(AnalyticsEvent("e"), EventCategory::Game()));
  }
  EXPECT_FALSE(services.RecordEvent(AnalyticsEvent("e"), EventCategory::Game()));
  EXPECT_FALSE(services.RecordEvent(AnalyticsEvent("e"), EventCategory::Game()));
  EXPECT_FALSE(services.Flush());
  EXPECT_EQ(services.BufferedEvents().size(), 31u);
  services.SetHttpClient(&queue);
  EXPECT_TRUE(services.RecordEvent(AnalyticsEvent("e"), EventCategory::Game()));
  EXPECT_EQ(TakeBody().size(), 32u);
  EXPECT_TRUE(services.BufferedEvents().empty());
}

TEST(UtilsClient, KeepsValuesInMemoryAndGeneratesEmptyIds) {
  Zel::TaviServicesUtilsClient utils;
  EXPECT_EQ(utils.GenerateId(), "");
  EXPECT_EQ(utils.GenerateId(), "");
  EXPECT_EQ(utils.GetValue("clientID", ""), "");
  utils.SetValue("clientID", "first");
  utils.SetValue("clientID", "second");
  EXPECT_EQ(utils.GetValue("clientID", "ignored"), "second");
  utils.SetValue("", "");
  EXPECT_EQ(utils.GetValue("", ""), "");
  EXPECT_EQ(utils.GetValue("clientid", ""), "");  // keys compare byte for byte
}

}  // namespace
