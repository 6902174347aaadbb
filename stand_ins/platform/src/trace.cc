#include "platform/stand_in/trace.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <mutex>
#include <utility>

#include "trace_internal.h"

namespace Platform {
namespace {

using Clock = std::chrono::steady_clock;

Clock::time_point ProcessStart() {
  static const Clock::time_point start = Clock::now();
  return start;
}

// Taken while the program's static objects are made, before main runs.
[[maybe_unused]] const Clock::time_point processStarted = ProcessStart();

thread_local std::string threadName;

struct TraceState {
  std::mutex mutex;
  std::vector<Trace::Event> events;
  Trace::Sink sink;
  bool ended = false;
};

TraceState& State() {
  static TraceState state;
  return state;
}

// Milliseconds since the process started, to a tenth.
double MillisecondsSinceStart() {
  const std::chrono::duration<double, std::milli> elapsed = Clock::now() - ProcessStart();
  return std::floor(elapsed.count() * 10) / 10;
}

Trace::Event MakeEvent(const std::string& name, const Trace::Event& fields) {
  Trace::Event event = Trace::Event::object();
  event["event"] = name;
  event["ms"] = 0.0;  // stamped under the lock, so stamps follow the order of lines
  auto thread = fields.find("thread");
  event["thread"] = thread != fields.end() && thread->is_string() ? thread->get<std::string>()
                                                                  : Trace::CurrentThreadName();
  for (auto it = fields.begin(); it != fields.end(); ++it) {
    if (it.key() != "thread") event[it.key()] = it.value();
  }
  return event;
}

// Call with the state's lock held.
void Append(TraceState& state, Trace::Event event) {
  event["ms"] = MillisecondsSinceStart();
  state.events.push_back(std::move(event));
  if (state.sink) state.sink(state.events.back());
}

}  // namespace

void Trace::Record(const std::string& name, const Event& fields) {
  Event event = MakeEvent(name, fields);
  auto& state = State();
  std::lock_guard<std::mutex> lock(state.mutex);
  if (!state.ended) Append(state, std::move(event));
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
  state.ended = false;
}

void Trace::SetSink(Sink sink) {
  auto& state = State();
  std::lock_guard<std::mutex> lock(state.mutex);
  state.sink = std::move(sink);
}

std::string Trace::Format(const Event& event) {
  return event.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

double Trace::Milliseconds() { return MillisecondsSinceStart(); }

void Trace::NameCurrentThread(const std::string& name) { threadName = name; }

std::string Trace::CurrentThreadName() {
  if (!threadName.empty()) return threadName;
  return syscall(SYS_gettid) == getpid() ? "main" : "other";
}

}  // namespace Platform

namespace Platform::Internal {

void RecordFinalEvent(const std::string& name, const Trace::Event& fields) {
  Trace::Event event = MakeEvent(name, fields);
  auto& state = State();
  std::lock_guard<std::mutex> lock(state.mutex);
  if (state.ended) return;
  Append(state, std::move(event));
  state.ended = true;
}

}  // namespace Platform::Internal
