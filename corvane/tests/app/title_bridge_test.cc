#include <gtest/gtest.h>

#include <thread>

#include "app/title_bridge.h"
#include "platform/application.h"
#include "platform/stand_in/stand_in.h"
#include "platform/stand_in/trace.h"
#include "platform/strings.h"

namespace {

using Windows::UI::ViewManagement::ApplicationView;

class BareApp : public Windows::UI::Xaml::Application {};

class TitleBridge : public ::testing::Test {
 protected:
  void SetUp() override {
    Platform::StandIn::StartApplication([](auto) { Platform::ref_new<BareApp>(); });
    Corvane::CachedView();  // as the first activation does
  }
  void TearDown() override { Platform::StandIn::Reset(); }
};

const Platform::String kPrefix = u"\U0001F6E9";

TEST_F(TitleBridge, TitleIsThePrefixFollowedByTheDecodedText) {
  const std::vector<std::pair<const char*, Platform::String>> cases = {
      {"", kPrefix},
      {"Level 5", kPrefix + u"Level 5"},
      {"\xC3\xA9", kPrefix + u"\u00E9"},  // é, not 0xFFC3 0xFFA9
      {"Caf\xC3\xA9 \xF0\x9F\x8E\xAE", kPrefix + u"Caf\u00E9 \U0001F3AE"},
      {"a\xFF"
       "b",
       kPrefix + u"a\uFFFDb"},                  // invalid byte
      {"end\xE2\x82", kPrefix + u"end\uFFFD"},  // truncated sequence
      {"\xC0\xAF", kPrefix + u"\uFFFD\uFFFD"},  // overlong
      {nullptr, kPrefix},
  };
  for (auto& [text, expected] : cases) {
    Corvane::HeaderUpdateCallback(text);
    EXPECT_EQ(ApplicationView::GetForCurrentView()->Title(), expected) << (text ? text : "(null)");
  }
  auto recorded = Platform::Trace::EventsNamed("window.title");
  ASSERT_EQ(recorded.size(), cases.size());
  EXPECT_EQ(recorded[1]["value"], "\xF0\x9F\x9B\xA9Level 5");
}

TEST_F(TitleBridge, RunsOnTheCallersThreadWithoutTheUiLoop) {
  std::thread([] { Corvane::HeaderUpdateCallback("from the game thread"); }).join();
  EXPECT_EQ(ApplicationView::GetForCurrentView()->Title(), kPrefix + u"from the game thread");
}

TEST(TitleBridgeFailure, NoExceptionLeavesTheCallbackAndTheTitleStays) {
  // In a fresh process nothing has fetched the view yet, and the fetch fails
  // off the UI thread: the callback must swallow that, not terminate.
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        std::thread([] { Corvane::HeaderUpdateCallback("lost"); }).join();
        std::exit(Platform::Trace::EventsNamed("window.title").empty() ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

}  // namespace
