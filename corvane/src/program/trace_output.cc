#include "program/trace_output.h"

namespace Corvane {
namespace {

using Event = Platform::Trace::Event;

// The page's connections (main_page.cc): the splash container and image.
constexpr int kSplashContainer = 3;
constexpr int kSplashImage = 4;

bool Is(const Event& event, const char* name, int connection) {
  return event.value("event", "") == name && event.value("connection", 0) == connection;
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
  if (Is(event, "element.arranged", kSplashImage)) {
    Event image = Renamed(event, "splash.image");
    for (const char* field : {"x", "y", "width", "height"}) image[field] = event[field];
    return image;
  }
  if (Is(event, "panel.background", kSplashContainer)) {
    Event color = Renamed(event, "splash.background");
    color["color"] = event["color"];
    return color;
  }
  if (Is(event, "panel.childremoved", kSplashContainer)) return Renamed(event, "splash.removed");
  return event;
}

}  // namespace Corvane
