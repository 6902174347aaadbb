// The UI thread's window and dispatcher (Windows::UI::Core).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "platform/event.h"
#include "platform/foundation.h"
#include "platform/runtime.h"

namespace Windows::UI::Core {

enum class CoreDispatcherPriority : std::int32_t { Idle = -2, Low = -1, Normal = 0, High = 1 };

using DispatchedHandler = std::function<void()>;

// Queues handlers for the UI thread. RunAsync may be called from any thread;
// the handler runs later on the UI thread, inside the delegate boundary, and
// its failure result ends up in the returned action (which may be dropped).
// A handler still queued when the application exits never runs.
class CoreDispatcher : public virtual Platform::Object {
 public:
  std::shared_ptr<Windows::Foundation::IAsyncAction> RunAsync(CoreDispatcherPriority priority,
                                                              DispatchedHandler handler);
  bool HasThreadAccess() const;
  Platform::String GetRuntimeClassName() const override {
    return u"Windows.UI.Core.CoreDispatcher";
  }
};

class CoreWindowEventArgs : public virtual Platform::Object {};

class CoreWindow : public virtual Platform::Object {
 public:
  using ClosedEvent = Platform::Event<Platform::ObjectRef, std::shared_ptr<CoreWindowEventArgs>>;

  // The core window of the calling thread: the main window's on the UI
  // thread, null on any other thread.
  static std::shared_ptr<CoreWindow> GetForCurrentThread();
  std::shared_ptr<CoreDispatcher> Dispatcher() const { return dispatcher_; }
  Windows::Foundation::Rect Bounds() const;
  // Raised on the UI thread when the application has exited, before its
  // objects are released; the dispatcher runs nothing more by then.
  ClosedEvent Closed;
  Platform::String GetRuntimeClassName() const override { return u"Windows.UI.Core.CoreWindow"; }

 private:
  std::shared_ptr<CoreDispatcher> dispatcher_ = Platform::ref_new<CoreDispatcher>();
};

}  // namespace Windows::UI::Core
