#include "program/trace_output.h"

namespace Corvane {
namespace {

bool Is(const Platform::Trace::Event& event, const char* name, const char* element) {
  return event.value("event", "") == name && event.value("element", "") == element;
}

}  // namespace

Platform::Trace::Event PresentTraceEvent(const Platform::Trace::Event& event) {
  using Event = Platform::Trace::Event;
  if (Is(event, "element.arranged", "splashImage")) {
    return Event{{"event", "splash.image"},
                 {"x", event["x"]},
                 {"y", event["y"]},
                 {"width", event["width"]},
                 {"height", event["height"]}};
  }
  if (Is(event, "panel.background", "splashContainer")) {
    return Event{{"event", "splash.background"}, {"color", event["color"]}};
  }
  if (Is(event, "panel.childremoved", "splashContainer")) return Event{{"event", "splash.removed"}};
  return event;
}

}  // namespace Corvane
