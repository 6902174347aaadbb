// The one-pass writer against the nlohmann document pipeline on events and
// contexts built from the fuzzer's bytes: every body and every message must
// come out byte for byte the same.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include <fuzzer/FuzzedDataProvider.h>

#include "event_generator.h"
#include "fuzz_check.h"
#include "message_writer.h"
#include "reference_pipeline.h"
#include "request_queue.h"
#include "take_message.h"

namespace {

class FuzzedChoices final : public ChoiceSource {
 public:
  explicit FuzzedChoices(FuzzedDataProvider& data) : data(data) {}
  std::uint64_t Below(std::uint64_t bound) override {
    return data.ConsumeIntegralInRange<std::uint64_t>(0, bound - 1);
  }
  std::uint64_t Bits() override { return data.ConsumeIntegral<std::uint64_t>(); }
  std::string Bytes(std::size_t maxLength) override {
    return data.ConsumeRandomLengthString(maxLength);
  }

 private:
  FuzzedDataProvider& data;
};

void RequireSame(const char* what, const std::string& reference, const std::string& fast) {
  if (fast != reference) FuzzCheck::Fail(what, reference, fast);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  FuzzedDataProvider data(bytes, size);
  FuzzedChoices choices(data);
  EventGenerator generate(choices);

  const std::string url = generate.Text();
  std::vector<std::string> headers;
  for (std::uint64_t n = choices.Below(4); n > 0; --n) headers.push_back(generate.Text());

  // Flushes of one session through one queue, the context changing or not.
  Zel::TaviServicesHttpClientCurl queue;
  Ostrel::SerializationContext context = generate.Context();
  for (std::uint64_t flushes = 1 + choices.Below(3); flushes > 0; --flushes) {
    const std::deque<AnalyticsEvent> events = generate.Events();
    const std::string body = Reference::SerializeBody(events, context);
    RequireSame("event body", body, Ostrel::WriteEventsBody({events, context}));
    queue.SendEvents(url, headers, {events, context});
    RequireSame("event message", Reference::WriteRequestMessage(url, headers, body),
                TakeMessage(queue));
    context = generate.NextContext(context);
  }

  const std::string anyBody = generate.Text();
  RequireSame("message of any body", Reference::WriteRequestMessage(url, headers, anyBody),
              Ostrel::WriteRequestMessage(url, headers, anyBody));
  return 0;
}
