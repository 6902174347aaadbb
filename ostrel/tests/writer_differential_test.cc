// The one-pass writer against the nlohmann document pipeline it replaced:
// every message and body must come out byte for byte the same.
#include <gtest/gtest.h>

#include "event_generator.h"
#include "message_writer.h"
#include "reference_pipeline.h"
#include "request_queue.h"
#include "take_message.h"

namespace {

using Ostrel::EventBatch;
using Ostrel::SerializationContext;

constexpr int kCaseCount = 2000;

// Equal texts, or where they part (the texts run to many kilobytes).
::testing::AssertionResult SameBytes(const std::string& fast, const std::string& reference) {
  if (fast == reference) return ::testing::AssertionSuccess();
  std::size_t at = 0;
  while (at < fast.size() && at < reference.size() && fast[at] == reference[at]) ++at;
  const std::size_t from = at < 40 ? 0 : at - 40;
  return ::testing::AssertionFailure()
         << "differ at byte " << at << " of " << fast.size() << "/" << reference.size()
         << "\n  fast:      " << ::testing::PrintToString(fast.substr(from, 100))
         << "\n  reference: " << ::testing::PrintToString(reference.substr(from, 100));
}

// One queue writes every message, as in a session: what it keeps from one
// flush to the next must follow each change of the context.
TEST(WriterDifferential, EventMessagesEqualTheDocumentPipeline) {
  SeededChoices choices(0x05712e1);
  EventGenerator generate(choices);
  Zel::TaviServicesHttpClientCurl queue;
  SerializationContext context = generate.Context();
  for (int i = 0; i < kCaseCount; ++i) {
    context = generate.NextContext(context);
    const std::deque<AnalyticsEvent> events = generate.Events();
    const EventBatch batch{events, context};
    const std::string url = "https://analytics.example.com/v1/win/batch?project=" + generate.Text();
    std::vector<std::string> headers{"X-Api-Key: key", "Content-Type: application/json"};
    if (choices.Below(4) == 0) headers.push_back(generate.Text());

    const std::string body = Reference::SerializeBody(events, context);
    ASSERT_TRUE(SameBytes(Ostrel::WriteEventsBody(batch), body)) << "case " << i;

    ASSERT_TRUE(queue.SendEvents(url, headers, batch));
    ASSERT_TRUE(SameBytes(TakeMessage(queue), Reference::WriteRequestMessage(url, headers, body)))
        << "case " << i;
  }
}

TEST(WriterDifferential, MessagesOfAnyBodyEqualTheDocumentPipeline) {
  SeededChoices choices(0xb0d1e5);
  EventGenerator generate(choices);
  for (int i = 0; i < kCaseCount; ++i) {
    std::vector<std::string> headers;
    for (std::uint64_t n = choices.Below(4); n > 0; --n) headers.push_back(generate.Text());
    const std::string url = generate.Text();
    const std::string body = generate.Text();
    ASSERT_TRUE(SameBytes(Ostrel::WriteRequestMessage(url, headers, body),
                          Reference::WriteRequestMessage(url, headers, body)))
        << "case " << i;
  }
}

}  // namespace
