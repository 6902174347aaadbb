// Stand-in: what the main window shows, for a renderer that watches it (the
// corvane program's --frames). Not part of the platform.
//
// The platform composes the window from its element tree and from what
// renderers present into SwapChainPanels. An observer installed here hears
// of every chance that either changed: after each layout pass on the UI
// thread (after every dispatched handler and every resize), on the
// presenting thread after a SwapChainPanel got a new frame, and once at the
// application's end, on the UI thread, just before "application.exit".
#pragma once

#include <memory>

namespace Windows::UI::Xaml::Controls {
class SwapChainPanel;
}

namespace Platform {

// A frame presented into a SwapChainPanel. The platform only passes it on;
// the renderer that made it knows what it holds. Immutable once presented.
class PresentedFrame {
 public:
  virtual ~PresentedFrame() = default;
};

class CompositionObserver {
 public:
  virtual ~CompositionObserver() = default;
  // UI thread, after a layout pass: the element tree may have changed.
  virtual void LayoutUpdated() = 0;
  // The presenting thread, after `panel` got a new frame.
  virtual void FramePresented(const Windows::UI::Xaml::Controls::SwapChainPanel& panel) = 0;
  // UI thread, at the application's end: the dispatcher, the game and the
  // pool's workers have stopped; the trace still records.
  virtual void ApplicationEnding() = 0;
};

class Composition {
 public:
  // Installs `observer` (null: none). StandIn::Reset removes it.
  static void SetObserver(std::shared_ptr<CompositionObserver> observer);
  // Whether an observer is installed: renderers may skip presenting when
  // nobody looks.
  static bool Observed();

  // Called by the stand-in itself at the moments described above.
  static void NotifyLayoutUpdated();
  static void NotifyFramePresented(const Windows::UI::Xaml::Controls::SwapChainPanel& panel);
  static void NotifyApplicationEnding();
};

}  // namespace Platform
