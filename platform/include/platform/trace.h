// The stand-in's record of platform-visible effects. Every effect the host
// causes (window activation, content, navigation, title, element tree
// changes, brushes, layout, size changes, ...) is recorded as one event: a
// JSON object whose first member is "event". Tests read the events; the
// corvane program prints them, one JSON object per line. Thread-safe.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace Platform {

class Trace {
 public:
  using Event = nlohmann::ordered_json;
  using Sink = std::function<void(const Event&)>;

  // Records {"event": name, ...fields}; fields must be a JSON object.
  static void Record(const std::string& name, const Event& fields = Event::object());
  static std::vector<Event> Events();
  // Events with this name, in order.
  static std::vector<Event> EventsNamed(const std::string& name);
  static void Clear();
  // Called for every event as it is recorded, under the trace's lock, so
  // events reach the sink in recording order.
  static void SetSink(Sink sink);
  // One compact line of UTF-8 JSON (invalid UTF-8 replaced by U+FFFD).
  static std::string Format(const Event& event);
};

}  // namespace Platform
