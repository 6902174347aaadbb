// Plays a sequence of export calls chosen by the fuzzer's bytes against the
// real export layer, with the clock moved through its seam, and checks every
// queued request against a model of what the calls must produce: each message
// is a well-formed request, and every recorded event (session start and stop,
// attribution, accepted game and custom events) appears once, in order, in
// the message the flush rules put it in, with the context of that flush.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "clock.h"
#include "export_model.h"
#include "fuzz_check.h"
#include "fuzz_inputs.h"
#include "message_check.h"
#include "ostrel.h"

using FuzzCheck::Fail;
using FuzzCheck::Require;

namespace {

std::int64_t now = 0;
std::int64_t Now() { return now; }

constexpr std::int64_t kMaxSeconds = std::numeric_limits<std::int64_t>::max();
constexpr std::int64_t kMinSeconds = std::numeric_limits<std::int64_t>::min();

const char* Pointer(const std::optional<std::string>& text) {
  return text ? text->c_str() : nullptr;
}

std::string Value(const std::optional<std::string>& text) { return text.value_or(""); }

std::string Adopt(char* text) {
  Require(text != nullptr, "returned text is null");
  std::string copy = text;
  std::free(text);
  return copy;
}

void MoveClock(FuzzedDataProvider& data) {
  constexpr std::int64_t kExtremes[] = {kMinSeconds,
                                        kMaxSeconds,
                                        0,
                                        -1,
                                        1700000000,
                                        kMaxSeconds / 1000,
                                        kMaxSeconds / 1000 + 1,
                                        -(kMaxSeconds / 1000) - 1};
  std::int64_t step = 0;
  switch (data.ConsumeIntegralInRange(0, 4)) {
    case 0:
      step = data.ConsumeIntegralInRange<std::int64_t>(0, 100);
      break;
    case 1:
      step = -data.ConsumeIntegralInRange<std::int64_t>(0, 100);
      break;
    case 2:
      step = data.ConsumeBool() ? 30 : 31;
      break;
    case 3:
      now = data.ConsumeIntegral<std::int64_t>();
      return;
    default:
      now = kExtremes[data.ConsumeIntegralInRange<std::size_t>(0, std::size(kExtremes) - 1)];
      return;
  }
  if (__builtin_add_overflow(now, step, &now)) now = step > 0 ? kMaxSeconds : kMinSeconds;
}

void TakeMessage(ExportModel& model) {
  const std::string text = Adopt(Tavi_Zel_GetMessage());
  if (model.Queue().empty()) {
    if (!text.empty()) Fail("a message came out that no call produced", "", text);
    return;
  }
  CheckMessage(text, model.Queue().front());
  model.Queue().pop_front();
}

void CheckCount(ExportModel& model) {
  const auto expected = static_cast<std::int32_t>(model.Queue().size());
  const std::int32_t count = Tavi_MessagesCount();
  if (count != expected)
    Fail("message count differs", std::to_string(expected), std::to_string(count));
}

void Purchase(FuzzedDataProvider& data, ExportModel& model) {
  const auto first = FuzzInputs::Text(data);
  const auto second = FuzzInputs::Text(data);
  const double price = data.ConsumeBool() ? data.ConsumeFloatingPoint<double>()
                                          : data.ConsumeProbability<double>() * 100;
  const auto currency = FuzzInputs::Text(data);
  const auto sku = FuzzInputs::Text(data);
  const auto amount = data.ConsumeIntegral<std::int32_t>();
  const auto validated = data.ConsumeIntegral<std::int32_t>();
  const auto name = FuzzInputs::Text(data);
  const auto sandbox = data.ConsumeIntegral<std::int32_t>();
  Tavi_EventPurchase(Pointer(first), Pointer(second), price, Pointer(currency), Pointer(sku),
                     amount, validated, Pointer(name), sandbox);
  model.RecordGameEvent(
      {"Purchase",
       {},
       0,
       {{"currency", Value(currency)}, {"sku", Value(sku)}, {"name", Value(name)}},
       {{"price", price},
        {"amount", amount},
        {"validated", static_cast<double>(validated & 0xFF)},
        {"sandbox", static_cast<double>(sandbox & 0xFF)}}},
      now);
}

void SetAppData(FuzzedDataProvider& data, ExportModel& model) {
  std::vector<std::optional<std::string>> texts;
  for (int i = 0; i < 5; ++i) texts.push_back(FuzzInputs::Text(data));
  Tavi_SetAppData(Pointer(texts[0]), Pointer(texts[1]), Pointer(texts[2]), Pointer(texts[3]),
                  Pointer(texts[4]));
  std::vector<std::string> values;
  for (const auto& text : texts) values.push_back(Value(text));
  model.SetAppData(std::move(values));
}

void Custom(FuzzedDataProvider& data, ExportModel& model) {
  const auto name = FuzzInputs::Text(data);
  const auto attributes = FuzzInputs::AttributesText(data);
  Tavi_CustomEvent(Pointer(name), Pointer(attributes));
  model.RecordCustom(Value(name), attributes.value_or("null"), now);
}

void GameEvent(int which, ExportModel& model) {
  constexpr void (*kCalls[])() = {Tavi_EventStartLoading, Tavi_EventFinishLoading,
                                  Tavi_EventTutorialStart, Tavi_EventTutorialFinish};
  constexpr const char* kNames[] = {"Start_loading", "Finish_loading", "Tutorial_start",
                                    "Tutorial_finish"};
  kCalls[which]();
  model.RecordGameEvent({kNames[which], {}, 0, {}, {}}, now);
}

// Set OSTREL_FUZZ_TRACE to see the calls an input makes (for findings).
const bool kTrace = std::getenv("OSTREL_FUZZ_TRACE") != nullptr;

void OneCall(FuzzedDataProvider& data, ExportModel& model) {
  const int call = data.ConsumeIntegralInRange(0, 19);
  if (kTrace)
    std::fprintf(stderr, "call %d at %lld s, %zu queued\n", call, static_cast<long long>(now),
                 model.Queue().size());
  switch (call) {
    case 0: {
      const auto id = FuzzInputs::Text(data);
      Tavi_Init(Pointer(id));
      model.Init(Value(id), now);
      break;
    }
    case 1:
      Tavi_Update();
      model.Update(now);
      break;
    case 2:
      if (Adopt(Tavi_Get_Version()) != "2.0.1") Fail("version text differs");
      break;
    case 3:
      Tavi_Destroy();
      model.Destroy(now);
      break;
    case 4:
      CheckCount(model);
      break;
    case 5:
      TakeMessage(model);
      break;
    case 6: {
      const auto user = FuzzInputs::Text(data);
      Tavi_SetUser(Pointer(user));
      model.SetUser(Value(user));
      break;
    }
    case 7: {
      const auto client = FuzzInputs::Text(data);
      Tavi_SetClient(Pointer(client));
      model.SetClient(Value(client));
      break;
    }
    case 8: {
      const auto attribution = FuzzInputs::Text(data);
      Tavi_SetAttribution(Pointer(attribution));
      model.SetAttribution(Value(attribution), now);
      break;
    }
    case 9:
      SetAppData(data, model);
      break;
    case 10: {
      const auto code = FuzzInputs::Text(data);
      Tavi_SetDeviceLocale(Pointer(code));
      model.SetDeviceLocale(Value(code));
      break;
    }
    case 11: {
      const auto name = FuzzInputs::Text(data);
      const auto version = FuzzInputs::Text(data);
      Tavi_SetPlatform(Pointer(name), Pointer(version));
      model.SetPlatform(Value(name), Value(version));
      break;
    }
    case 12: {
      const auto level = data.ConsumeIntegral<std::int32_t>();
      Tavi_Event_LevelUp(level);
      model.RecordGameEvent({"Levelup", {}, 0, {}, {{"level", level}}}, now);
      break;
    }
    case 13:
    case 14:
    case 15:
    case 16:
      GameEvent(data.ConsumeIntegralInRange(0, 3), model);
      break;
    case 17:
      Purchase(data, model);
      break;
    case 18:
      Custom(data, model);
      break;
    default:
      MoveClock(data);
      break;
  }
}

// Uninitialised with an empty queue, whatever the previous input left.
void Reset() {
  Tavi_Destroy();
  while (Tavi_MessagesCount() > 0) std::free(Tavi_Zel_GetMessage());
  now = 1700000000;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  Ostrel::Clock::SetSource(&Now);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  Reset();
  FuzzedDataProvider data(bytes, size);
  ExportModel model;
  for (int calls = 0; calls < 1000 && data.remaining_bytes() > 0; ++calls) OneCall(data, model);

  Tavi_Destroy();
  model.Destroy(now);
  CheckCount(model);
  while (!model.Queue().empty()) TakeMessage(model);
  CheckCount(model);
  Require(Adopt(Tavi_Zel_GetMessage()).empty(), "an empty queue must give the empty text");
  return 0;
}
