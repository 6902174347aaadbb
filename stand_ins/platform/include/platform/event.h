// Events with registration tokens, as the platform's event members.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <utility>
#include <vector>

#include "platform/runtime.h"

namespace Windows::Foundation {
struct EventRegistrationToken {
  std::int64_t Value = 0;
};
}  // namespace Windows::Foundation

namespace Platform {

// A multicast event. Handlers are delegates; each invocation runs inside the
// delegate's boundary, so a handler that raises hands its failure result back
// to the raiser instead of unwinding through it. Tokens are never zero.
template <class... Args>
class Event {
 public:
  using Handler = std::function<void(Args...)>;
  using Token = Windows::Foundation::EventRegistrationToken;

  Token Add(Handler handler) {
    std::lock_guard<std::mutex> lock(mutex_);
    Token token{++lastToken_};
    handlers_.emplace_back(token.Value, std::make_shared<Handler>(std::move(handler)));
    return token;
  }

  // The removed handler is released outside the lock (it may hold the object
  // whose destruction removes further registrations).
  void Remove(Token token) {
    std::shared_ptr<Handler> removed;
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto it = handlers_.begin(); it != handlers_.end(); ++it) {
      if (it->first == token.Value) {
        removed = std::move(it->second);
        handlers_.erase(it);
        break;
      }
    }
  }

  // Calls every handler registered at the moment of raising; returns the
  // last failure result any of them reported, or S_OK.
  HRESULT Raise(Args... args) {
    std::vector<std::shared_ptr<Handler>> snapshot;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      for (auto& entry : handlers_) snapshot.push_back(entry.second);
    }
    HRESULT result = S_OK;
    for (auto& handler : snapshot) {
      const HRESULT hr = CallBoundary([&] { (*handler)(args...); });
      if (FAILED(hr)) result = hr;
    }
    return result;
  }

  // Drops every handler; they are released outside the lock, so a handler
  // whose release removes other registrations does not deadlock.
  void Clear() {
    decltype(handlers_) dropped;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      dropped.swap(handlers_);
    }
  }

  std::size_t Count() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return handlers_.size();
  }

 private:
  mutable std::mutex mutex_;
  std::int64_t lastToken_ = 0;
  std::vector<std::pair<std::int64_t, std::shared_ptr<Handler>>> handlers_;
};

}  // namespace Platform
