#include "library.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "fake_clock.h"

namespace {

using nlohmann::json;
using Ostrel::EventCategory;
using Ostrel::Library;

class LibraryTest : public ::testing::Test {
 protected:
  // Takes every waiting message and returns its body's event types, one list
  // per message.
  std::vector<std::vector<std::string>> TakeAll() {
    std::vector<std::vector<std::string>> messages;
    while (const Ostrel::TextBuffer* text = library.OldestMessage()) {
      const json message = json::parse(text->View());
      library.DropOldestMessage();
      json body = json::parse(message["data"].get<std::string>());
      if (body.is_object()) body = json::array({body});
      std::vector<std::string> types;
      for (const json& event : body) types.push_back(event["event_type"]);
      messages.push_back(types);
    }
    return messages;
  }

  std::string ProjectOfNextMessage() {
    const std::string url = json::parse(library.OldestMessage()->View())["url"];
    return url.substr(url.find("?project=") + 9);
  }

  FakeClock clock{1700000000};
  Library library;
};

using Messages = std::vector<std::vector<std::string>>;

TEST_F(LibraryTest, InitOpensOneSessionAndKeepsTheFirstIdentifier) {
  library.Init("first");
  EXPECT_EQ(library.MessagesCount(), 0);
  library.Init("second");
  library.Init("");
  library.Update();
  ASSERT_EQ(library.MessagesCount(), 1);
  EXPECT_EQ(ProjectOfNextMessage(), "first");
  EXPECT_EQ(TakeAll(), (Messages{{"_session.start"}}));
}

TEST_F(LibraryTest, InitWithoutIdentifierCreatesNothing) {
  library.Init("");
  EXPECT_FALSE(library.Initialised());
  library.Update();
  library.Destroy();
  EXPECT_EQ(library.MessagesCount(), 0);
  EXPECT_EQ(library.OldestMessage(), nullptr);
  library.DropOldestMessage();
}

TEST_F(LibraryTest, DestroyClosesTheSessionAndKeepsQueuedMessages) {
  library.Init("p");
  library.Update();  // queues the start
  library.Services()->RecordEvent(AnalyticsEvent("e"), EventCategory::Game());
  library.Destroy();
  EXPECT_FALSE(library.Initialised());
  library.Destroy();  // a second destroy does nothing
  library.Update();
  ASSERT_EQ(library.MessagesCount(), 2);

  // A new session's messages queue behind the ones still waiting.
  library.Init("p");
  library.Update();
  EXPECT_EQ(TakeAll(),
            (Messages{{"_session.start"}, {"a_e", "_session.stop"}, {"_session.start"}}));
}

TEST_F(LibraryTest, UpdateFlushesOnlyAfterMoreThanThirtySeconds) {
  library.Init("p");
  library.Update();  // lastFlushTime starts at 0: the first update passes
  TakeAll();
  ServicesClient& services = *library.Services();

  services.RecordEvent(AnalyticsEvent("e1"), EventCategory::Game());
  clock.Advance(30);
  library.Update();
  EXPECT_EQ(library.MessagesCount(), 0);
  clock.Advance(1);
  library.Update();
  EXPECT_EQ(TakeAll(), (Messages{{"a_e1"}}));

  // A pass with an empty buffer still restarts the interval.
  clock.Advance(31);
  library.Update();
  services.RecordEvent(AnalyticsEvent("e2"), EventCategory::Game());
  clock.Advance(30);
  library.Update();
  EXPECT_EQ(library.MessagesCount(), 0);

  // A clock set back passes at once.
  clock.Advance(-1000);
  library.Update();
  EXPECT_EQ(TakeAll(), (Messages{{"a_e2"}}));
  services.RecordEvent(AnalyticsEvent("e3"), EventCategory::Game());
  clock.Advance(30);
  library.Update();
  EXPECT_EQ(library.MessagesCount(), 0);

  // Extreme readings neither overflow nor stop the rule.
  clock.Set(std::numeric_limits<std::int64_t>::max());
  library.Update();
  EXPECT_EQ(TakeAll(), (Messages{{"a_e3"}}));
  clock.Set(std::numeric_limits<std::int64_t>::min());
  services.RecordEvent(AnalyticsEvent("e4"), EventCategory::Game());
  library.Update();
  EXPECT_EQ(TakeAll(), (Messages{{"a_e4"}}));
}

TEST_F(LibraryTest, RecordFlushesDoNotRestartTheInterval) {
  library.Init("p");
  clock.Set(1000);
  library.Update();
  TakeAll();
  clock.Set(1020);
  library.Services()->SetAttribution("x");  // flushes at once
  EXPECT_EQ(TakeAll(), (Messages{{"_init_attribution_pc"}}));
  library.Services()->RecordEvent(AnalyticsEvent("e"), EventCategory::Game());
  clock.Set(1031);
  library.Update();
  EXPECT_EQ(TakeAll(), (Messages{{"a_e"}}));
}

}  // namespace
