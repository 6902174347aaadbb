// View and display services (Windows::UI::ViewManagement,
// Windows::Graphics::Display).
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>

#include "platform/runtime.h"

namespace Windows::UI::ViewManagement {

enum class ApplicationViewWindowingMode : std::int32_t {
  Auto = 0,
  PreferredLaunchViewSize = 1,
  FullScreen = 2
};

// The main window's view. Title may be set from any thread; each setting is
// recorded as "window.title".
class ApplicationView : public virtual Platform::Object {
 public:
  // The main window's view; raises the wrong-thread failure off the UI thread.
  static std::shared_ptr<ApplicationView> GetForCurrentView();
  static ApplicationViewWindowingMode PreferredLaunchWindowingMode();
  static void PreferredLaunchWindowingMode(ApplicationViewWindowingMode mode);

  Platform::String Title() const;
  void Title(const Platform::String& title);
  bool SuppressSystemOverlays() const;
  void SuppressSystemOverlays(bool value);
  Platform::String GetRuntimeClassName() const override {
    return u"Windows.UI.ViewManagement.ApplicationView";
  }

  // Stand-in: the main view's title, from any thread (a renderer labels
  // the window's pictures with it).
  static Platform::String MainViewTitle();
  // Stand-in: the view, the launch mode and the display preferences of a new
  // process. The view object itself stays the same.
  static void Reset();

 private:
  mutable std::mutex mutex_;
  Platform::String title_;
  bool suppressSystemOverlays_ = false;
};

}  // namespace Windows::UI::ViewManagement

namespace Windows::Graphics::Display {

enum class DisplayOrientations : std::uint32_t {
  None = 0,
  Landscape = 1,
  Portrait = 2,
  LandscapeFlipped = 4,
  PortraitFlipped = 8
};

constexpr DisplayOrientations operator|(DisplayOrientations a, DisplayOrientations b) {
  return static_cast<DisplayOrientations>(static_cast<std::uint32_t>(a) |
                                          static_cast<std::uint32_t>(b));
}

class DisplayInformation {
 public:
  static DisplayOrientations AutoRotationPreferences();
  // Recorded as "display.autorotationpreferences".
  static void AutoRotationPreferences(DisplayOrientations value);
};

}  // namespace Windows::Graphics::Display
