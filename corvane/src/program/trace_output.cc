#include "program/trace_output.h"

namespace Corvane {
namespace {

using Event = Platform::Trace::Event;

bool Is(const Event& event, const char* name, const char* element) {
  return event.value("event", "") == name && event.value("element", "") == element;
}

// {"event": name} with the event's time and thread, when it has them.
Event Renamed(const Event& event, const char* name) {
  Event renamed{{"event", name}};
  for (const char* stamp : {"ms", "thread"}) {
    if (event.contains(stamp)) renamed[stamp] = event[stamp];
  }
  return renamed;
}

}  // namespace

Event PresentTraceEvent(const Event& event) {
  if (Is(event, "element.arranged", "splashImage")) {
    Event image = Renamed(event, "splash.image");
    for (const char* field : {"x", "y", "width", "height"}) image[field] = event[field];
    return image;
  }
  if (Is(event, "panel.background", "splashContainer")) {
    Event color = Renamed(event, "splash.background");
    color["color"] = event["color"];
    return color;
  }
  if (Is(event, "panel.childremoved", "splashContainer")) return Renamed(event, "splash.removed");
  return event;
}

}  // namespace Corvane
