#include "platform/trace.h"

#include <mutex>

namespace Platform {
namespace {

struct TraceState {
  std::mutex mutex;
  std::vector<Trace::Event> events;
  Trace::Sink sink;
};

TraceState& State() {
  static TraceState state;
  return state;
}

}  // namespace

void Trace::Record(const std::string& name, const Event& fields) {
  Event event = Event::object();
  event["event"] = name;
  for (auto it = fields.begin(); it != fields.end(); ++it) event[it.key()] = it.value();
  auto& state = State();
  std::lock_guard<std::mutex> lock(state.mutex);
  state.events.push_back(event);
  if (state.sink) state.sink(event);
}

std::vector<Trace::Event> Trace::Events() {
  auto& state = State();
  std::lock_guard<std::mutex> lock(state.mutex);
  return state.events;
}

std::vector<Trace::Event> Trace::EventsNamed(const std::string& name) {
  std::vector<Event> named;
  for (auto& event : Events()) {
    if (event["event"] == name) named.push_back(event);
  }
  return named;
}

void Trace::Clear() {
  auto& state = State();
  std::lock_guard<std::mutex> lock(state.mutex);
  state.events.clear();
}

void Trace::SetSink(Sink sink) {
  auto& state = State();
  std::lock_guard<std::mutex> lock(state.mutex);
  state.sink = std::move(sink);
}

std::string Trace::Format(const Event& event) {
  return event.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace Platform
