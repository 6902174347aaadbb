// The application's main window (Windows::UI::Xaml::Window).
#pragma once

#include <memory>

#include "platform/dispatcher.h"
#include "platform/event.h"
#include "platform/ui_element.h"

namespace Windows::UI::Core {

class WindowSizeChangedEventArgs : public virtual Platform::Object {
 public:
  explicit WindowSizeChangedEventArgs(Windows::Foundation::Size size) : size_(size) {}
  Windows::Foundation::Size Size() const { return size_; }

 private:
  Windows::Foundation::Size size_;
};

}  // namespace Windows::UI::Core

namespace Windows::UI::Xaml {

class Window : public virtual Platform::Object {
 public:
  using SizeChangedEvent =
      Platform::Event<Platform::ObjectRef,
                      std::shared_ptr<Windows::UI::Core::WindowSizeChangedEventArgs>>;

  // The main window on the UI thread; null on any other thread.
  static std::shared_ptr<Window> Current();

  std::shared_ptr<UIElement> Content() const;
  // Recorded as "window.content" with the content's runtime class.
  void Content(const std::shared_ptr<UIElement>& content);
  // Recorded as "window.activated".
  void Activate();
  Windows::Foundation::Rect Bounds() const;
  std::shared_ptr<Windows::UI::Core::CoreWindow> CoreWindow() const { return coreWindow_; }
  // Raised on the UI thread with the new size after the window is resized.
  SizeChangedEvent SizeChanged;
  Platform::String GetRuntimeClassName() const override { return u"Windows.UI.Xaml.Window"; }

  // Stand-in: resizes the window (recorded as "window.sizechanged") and
  // raises SizeChanged.
  void Resize(float width, float height);
  // Stand-in: back to the state of a new process (no content, default size,
  // no size or closed handlers).
  void Reset();

 private:
  mutable std::mutex mutex_;
  std::shared_ptr<UIElement> content_;
  Windows::Foundation::Rect bounds_{0, 0, 1280, 720};
  std::shared_ptr<Windows::UI::Core::CoreWindow> coreWindow_ =
      Platform::ref_new<Windows::UI::Core::CoreWindow>();
};

}  // namespace Windows::UI::Xaml
