// The category of an event and the one rule that derives its upload names
// from it: the event type is the code, "_" and the name; attribute and metric
// keys carry a prefix, "dsa_" and "dsm_" for custom events and the code and
// "_" for every other category.
#pragma once

#include <string>

namespace Ostrel {

class EventCategory {
 public:
  // The library's built-in game events: "a".
  static EventCategory Game() { return EventCategory("a"); }
  // Events the game names itself (Tavi_CustomEvent): "c".
  static EventCategory Custom() { return EventCategory(kCustomCode); }

  // The empty code: events the session records itself ("session.start",
  // "session.stop", "init_attribution_pc").
  EventCategory() = default;
  explicit EventCategory(std::string code) : code(std::move(code)) {}

  const std::string& Code() const { return code; }

  // Prefix of the event type, written before the event's name.
  std::string TypePrefix() const { return code + '_'; }
  std::string AttributeKeyPrefix() const { return IsCustom() ? "dsa_" : TypePrefix(); }
  std::string MetricKeyPrefix() const { return IsCustom() ? "dsm_" : TypePrefix(); }

  bool operator==(const EventCategory& other) const { return code == other.code; }
  bool operator!=(const EventCategory& other) const { return code != other.code; }

 private:
  static constexpr const char* kCustomCode = "c";

  bool IsCustom() const { return code == kCustomCode; }

  std::string code;
};

}  // namespace Ostrel
