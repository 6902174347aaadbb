// What the game thread does after each frame: while somebody watches the
// window (Platform::Composition::Observed, e.g. corvane --frames), it has
// the game draw its picture at the render panel's size (the window's) and
// presents it into the panel when the game drew something new. Nobody
// watching: nothing is drawn.
#pragma once

#include <memory>

#include "platform/controls.h"
#include "platform/dispatcher.h"

namespace EnginePlayer {

class FramePresenter {
 public:
  FramePresenter(std::weak_ptr<Windows::UI::Xaml::Controls::SwapChainPanel> panel,
                 std::shared_ptr<Windows::UI::Core::CoreWindow> window)
      : panel_(std::move(panel)), window_(std::move(window)) {}

  // On the game thread.
  void operator()() const;

 private:
  std::weak_ptr<Windows::UI::Xaml::Controls::SwapChainPanel> panel_;
  std::shared_ptr<Windows::UI::Core::CoreWindow> window_;
};

}  // namespace EnginePlayer
