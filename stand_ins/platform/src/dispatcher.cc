#include "platform/dispatcher.h"

#include "platform/window.h"
#include "ui_loop.h"
#include "window_internal.h"

namespace Windows::UI::Core {

std::shared_ptr<Windows::Foundation::IAsyncAction> CoreDispatcher::RunAsync(
    CoreDispatcherPriority priority, DispatchedHandler handler) {
  if (!handler) throw Platform::InvalidArgumentException(u"null dispatched handler");
  auto action = Platform::ref_new<Windows::Foundation::IAsyncAction>();
  Platform::Internal::UiLoop::Instance().Post(static_cast<int>(priority),
                                              [action, handler = std::move(handler)]() mutable {
                                                action->Finish(Platform::CallBoundary(handler));
                                              });
  return action;
}

bool CoreDispatcher::HasThreadAccess() const {
  return Platform::Internal::UiLoop::Instance().IsUiThread();
}

std::shared_ptr<CoreWindow> CoreWindow::GetForCurrentThread() {
  if (!Platform::Internal::UiLoop::Instance().IsUiThread()) return nullptr;
  return Platform::Internal::MainWindow()->CoreWindow();
}

Windows::Foundation::Rect CoreWindow::Bounds() const {
  return Platform::Internal::MainWindow()->Bounds();
}

}  // namespace Windows::UI::Core
