// The stand-in's record of platform-visible effects. Every effect the host
// causes (window activation, content, navigation, title, element tree
// changes, brushes, layout, size changes, ...) is recorded as one event: a
// JSON object whose members are "event" (its name), "ms" (milliseconds since
// the process started, to a tenth, never smaller than the line before),
// "thread" (the name of the thread it happened on) and its own fields. Tests
// read the events; the corvane program prints them, one JSON object per line.
// Once the application has ended ("application.exit"), nothing more is
// recorded until the trace is cleared. Thread-safe.
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

  // Records {"event": name, "ms": ..., "thread": ..., ...fields}; fields must
  // be a JSON object. A "thread" text among the fields names the thread
  // instead of the recording one (a line handed on from another component's
  // thread keeps that thread's name).
  static void Record(const std::string& name, const Event& fields = Event::object());
  static std::vector<Event> Events();
  // Events with this name, in order.
  static std::vector<Event> EventsNamed(const std::string& name);
  // Drops every event and records again after an application's end.
  static void Clear();
  // Called for every event as it is recorded, under the trace's lock, so
  // events reach the sink in recording order.
  static void SetSink(Sink sink);
  // One compact line of UTF-8 JSON (invalid UTF-8 replaced by U+FFFD).
  static std::string Format(const Event& event);
  // Milliseconds since the process started, to a tenth: the clock of "ms".
  static double Milliseconds();

  // Names the calling thread in its events: "ui", "game", "pool", ... A
  // thread that was never named is "main" if it is the process's first
  // thread, otherwise "other".
  static void NameCurrentThread(const std::string& name);
  static std::string CurrentThreadName();
};

}  // namespace Platform
