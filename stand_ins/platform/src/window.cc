#include "platform/window.h"

#include "platform/stand_in/trace.h"
#include "platform/strings.h"
#include "ui_loop.h"
#include "window_internal.h"

namespace Platform::Internal {

std::shared_ptr<Windows::UI::Xaml::Window> MainWindow() {
  static const auto window = Platform::ref_new<Windows::UI::Xaml::Window>();
  return window;
}

}  // namespace Platform::Internal

namespace Windows::UI::Xaml {

std::shared_ptr<Window> Window::Current() {
  if (!Platform::Internal::UiLoop::Instance().IsUiThread()) return nullptr;
  return Platform::Internal::MainWindow();
}

std::shared_ptr<UIElement> Window::Content() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return content_;
}

void Window::Content(const std::shared_ptr<UIElement>& content) {
  std::shared_ptr<UIElement> previous;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    previous = std::move(content_);
    content_ = content;
  }
  Platform::Trace::Event type;
  if (content) type = Platform::ToUtf8(content->GetRuntimeClassName());
  Platform::Trace::Record("window.content", {{"type", type}});
  previous.reset();  // the old content may go away here, outside the lock
}

void Window::Activate() { Platform::Trace::Record("window.activated"); }

Windows::Foundation::Rect Window::Bounds() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return bounds_;
}

void Window::Resize(float width, float height) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    bounds_.Width = width;
    bounds_.Height = height;
  }
  Platform::Trace::Record("window.sizechanged", {{"width", width}, {"height", height}});
  SizeChanged.Raise(Platform::RefFrom(this),
                    Platform::ref_new<Windows::UI::Core::WindowSizeChangedEventArgs>(
                        Windows::Foundation::Size{width, height}));
}

void Window::Reset() {
  std::shared_ptr<UIElement> previous;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    previous = std::move(content_);
    content_ = nullptr;
    bounds_ = Windows::Foundation::Rect{0, 0, 1280, 720};
  }
  previous.reset();
  SizeChanged.Clear();
  coreWindow_->Closed.Clear();
}

}  // namespace Windows::UI::Xaml

namespace Platform::Internal {

void ReleaseWindowContent() { MainWindow()->Reset(); }

}  // namespace Platform::Internal
