#include "platform/view.h"

#include <atomic>

#include "platform/stand_in/trace.h"
#include "platform/strings.h"
#include "ui_loop.h"

namespace Windows::UI::ViewManagement {
namespace {

constexpr HRESULT RPC_E_WRONG_THREAD = static_cast<HRESULT>(0x8001010Eu);

std::atomic<ApplicationViewWindowingMode> launchMode{ApplicationViewWindowingMode::Auto};

std::shared_ptr<ApplicationView> MainView() {
  static const auto view = Platform::ref_new<ApplicationView>();
  return view;
}

}  // namespace

std::shared_ptr<ApplicationView> ApplicationView::GetForCurrentView() {
  if (!Platform::Internal::UiLoop::Instance().IsUiThread()) {
    Platform::ThrowHResult(RPC_E_WRONG_THREAD, u"GetForCurrentView called off the UI thread");
  }
  return MainView();
}

ApplicationViewWindowingMode ApplicationView::PreferredLaunchWindowingMode() {
  return launchMode.load();
}

void ApplicationView::PreferredLaunchWindowingMode(ApplicationViewWindowingMode mode) {
  launchMode = mode;
  Platform::Trace::Record("view.preferredlaunchwindowingmode", {{"value", static_cast<int>(mode)}});
}

Platform::String ApplicationView::Title() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return title_;
}

void ApplicationView::Title(const Platform::String& title) {
  std::lock_guard<std::mutex> lock(mutex_);
  title_ = title;
  // Recorded under the view's lock so concurrent settings are recorded in
  // the order they took effect.
  Platform::Trace::Record("window.title", {{"value", Platform::ToUtf8(title)}});
}

Platform::String ApplicationView::MainViewTitle() { return MainView()->Title(); }

bool ApplicationView::SuppressSystemOverlays() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return suppressSystemOverlays_;
}

void ApplicationView::SuppressSystemOverlays(bool value) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    suppressSystemOverlays_ = value;
  }
  Platform::Trace::Record("view.suppresssystemoverlays", {{"value", value}});
}

void ApplicationView::Reset() {
  auto view = MainView();
  std::lock_guard<std::mutex> lock(view->mutex_);
  view->title_.clear();
  view->suppressSystemOverlays_ = false;
  launchMode = ApplicationViewWindowingMode::Auto;
  Windows::Graphics::Display::DisplayInformation::AutoRotationPreferences(
      Windows::Graphics::Display::DisplayOrientations::None);
}

}  // namespace Windows::UI::ViewManagement

namespace Windows::Graphics::Display {
namespace {
std::atomic<DisplayOrientations> autoRotation{DisplayOrientations::None};
}

DisplayOrientations DisplayInformation::AutoRotationPreferences() { return autoRotation.load(); }

void DisplayInformation::AutoRotationPreferences(DisplayOrientations value) {
  autoRotation = value;
  Platform::Trace::Record("display.autorotationpreferences",
                          {{"value", static_cast<unsigned>(value)}});
}

}  // namespace Windows::Graphics::Display
