// Feeds arbitrary bytes as the attributes text of a custom event. Text that
// parses must record exactly the attributes and metrics of the conversion
// rules, and they must come out of a flush under their "dsa_"/"dsm_" keys;
// text that does not parse must record nothing.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "clock.h"
#include "custom_attributes_model.h"
#include "fuzz_check.h"
#include "game_events.h"
#include "http_client.h"
#include "services_client.h"

using FuzzCheck::Fail;
using FuzzCheck::Require;
using nlohmann::json;

namespace {

std::int64_t FixedNow() { return 1700000000; }

class CapturingClient final : public TaviServices::HttpClient {
 public:
  bool SendRequest(std::string, std::vector<std::string>, std::string sent) override {
    body = std::move(sent);
    return true;
  }
  std::string body;
};

bool SameBits(double left, double right) { return std::memcmp(&left, &right, sizeof left) == 0; }

void CheckRecorded(const AnalyticsEvent& event, const ExpectedValues& expected) {
  Require(event.Name() == "fuzz" && event.Category() == Ostrel::EventCategory::Custom(),
          "custom event name or category");
  if (event.Attributes() != expected.attributes) Fail("recorded attributes differ");
  const auto& metrics = event.Metrics();
  Require(metrics.size() == expected.metrics.size(), "number of recorded metrics differs");
  for (std::size_t i = 0; i < metrics.size(); ++i) {
    if (metrics[i].first != expected.metrics[i].first ||
        !SameBits(metrics[i].second, expected.metrics[i].second)) {
      Fail("metric " + std::to_string(i) + " differs",
           expected.metrics[i].first + "=" + std::to_string(expected.metrics[i].second),
           metrics[i].first + "=" + std::to_string(metrics[i].second));
    }
  }
}

// The uploaded event: every attribute under "dsa_" beside "user_id", every
// metric under "dsm_" (non-finite ones as null), metrics null when none.
void CheckUploaded(const json& event, const ExpectedValues& expected) {
  json attributes = json::object();
  for (const auto& [key, value] : expected.attributes) attributes["dsa_" + key] = value;
  attributes["user_id"] = "";
  json metrics = nullptr;
  for (const auto& [key, value] : expected.metrics) {
    metrics["dsm_" + key] = std::isfinite(value) ? json(value) : json(nullptr);
  }
  if (event["attributes"].dump() != attributes.dump()) {
    Fail("uploaded attributes differ", attributes.dump(), event["attributes"].dump());
  }
  if (event["metrics"].dump() != metrics.dump()) {
    Fail("uploaded metrics differ", metrics.dump(), event["metrics"].dump());
  }
  Require(event["event_type"] == "c_fuzz", "uploaded event type differs");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  Ostrel::Clock::SetSource(&FixedNow);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  // The export reads the attributes up to their first NUL.
  const std::string whole(reinterpret_cast<const char*>(bytes), size);
  const std::string text = whole.substr(0, whole.find('\0'));

  ServicesClient services("p");
  CapturingClient client;
  services.SetHttpClient(&client);
  const std::size_t before = services.BufferedEvents().size();
  const bool recorded = Ostrel::GameEvents::RecordCustom(services, "fuzz", text);

  const json parsed = json::parse(text, nullptr, false, false);
  if (parsed.is_discarded()) {
    Require(!recorded && services.BufferedEvents().size() == before,
            "text that is not JSON must record nothing");
    return 0;
  }
  Require(recorded && services.BufferedEvents().size() == before + 1,
          "JSON text must record one event");
  const ExpectedValues expected = ConvertAttributes(parsed);
  CheckRecorded(services.BufferedEvents().back(), expected);

  Require(services.Flush(), "flush must succeed");
  const json body = json::parse(client.body, nullptr, false, false);
  Require(!body.is_discarded() && body.is_array() && body.size() == 2,
          "the flushed body must be an array of session start and the custom event");
  CheckUploaded(body[1], expected);
  return 0;
}
