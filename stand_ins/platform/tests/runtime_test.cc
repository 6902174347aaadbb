#include <gtest/gtest.h>

#include <stdexcept>

#include "platform/event.h"
#include "platform/runtime.h"
#include "platform/strings.h"

namespace {

struct Base : Platform::Object {};
struct Derived : Base {};
struct Other : Platform::Object {};

TEST(Runtime, SafeCastConvertsOrRaisesInvalidCast) {
  std::shared_ptr<Platform::Object> derived = Platform::ref_new<Derived>();
  EXPECT_NE(Platform::safe_cast<Base>(derived), nullptr);
  EXPECT_EQ(Platform::safe_cast<Base>(std::shared_ptr<Platform::Object>()), nullptr);
  std::shared_ptr<Platform::Object> other = Platform::ref_new<Other>();
  EXPECT_THROW(Platform::safe_cast<Base>(other), Platform::InvalidCastException);
  EXPECT_EQ(Platform::try_cast<Base>(other), nullptr);
}

TEST(Runtime, BoundaryTurnsExceptionsIntoResultCodes) {
  EXPECT_EQ(Platform::CallBoundary([] {}), S_OK);
  EXPECT_EQ(Platform::CallBoundary([] { throw Platform::NotImplementedException(); }), E_NOTIMPL);
  EXPECT_EQ(Platform::CallBoundary([] { Platform::ThrowHResult(RPC_E_DISCONNECTED); }),
            RPC_E_DISCONNECTED);
  EXPECT_EQ(
      Platform::CallBoundary([] { Platform::ThrowHResult(static_cast<HRESULT>(0x80070002u)); }),
      static_cast<HRESULT>(0x80070002u));
  EXPECT_EQ(Platform::CallBoundary([] { throw std::invalid_argument("x"); }), E_INVALIDARG);
  EXPECT_EQ(Platform::CallBoundary([] { throw 42; }), E_FAIL);
}

TEST(Runtime, EventTokensAndFailuresOfHandlers) {
  Platform::Event<int> event;
  int sum = 0;
  auto first = event.Add([&](int v) { sum += v; });
  auto second = event.Add([](int) { throw Platform::DisconnectedException(); });
  EXPECT_NE(first.Value, 0);
  EXPECT_NE(first.Value, second.Value);
  EXPECT_EQ(event.Raise(2), RPC_E_DISCONNECTED);
  EXPECT_EQ(sum, 2);
  event.Remove(second);
  EXPECT_EQ(event.Raise(3), S_OK);
  EXPECT_EQ(sum, 5);
}

TEST(Strings, Utf8RoundTripAndReplacement) {
  EXPECT_EQ(Platform::FromUtf8("Level 5"), u"Level 5");
  EXPECT_EQ(Platform::FromUtf8("\xC3\xA9"), u"\u00E9");
  EXPECT_EQ(Platform::FromUtf8("\xF0\x9F\x9B\xA9"), u"\U0001F6E9");
  EXPECT_EQ(Platform::FromUtf8("a\xE9z"), u"a\uFFFDz");
  EXPECT_EQ(Platform::FromUtf8("\xE2\x82"), u"\uFFFD");
  EXPECT_EQ(Platform::FromUtf8("\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD");
  EXPECT_EQ(Platform::ToUtf8(u"\U0001F6E9 x\u00E9"), "\xF0\x9F\x9B\xA9 x\xC3\xA9");
  EXPECT_EQ(Platform::ToUtf8(std::u16string(1, char16_t(0xD800))), "\xEF\xBF\xBD");
}

}  // namespace
