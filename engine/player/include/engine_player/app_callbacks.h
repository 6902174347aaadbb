// Stand-in of the engine's player, runtime class "EnginePlayer.AppCallbacks".
//
// The player takes the launch arguments, is handed a render panel and the
// window, and after CompletePlayerAttach renders frames on the UI thread
// (through the window's dispatcher), each frame playing one frame of the
// game in GameAssembly. Rendering-started is raised on the UI thread after
// the first frame. When the game quits, the player asks the application to
// exit. Every hand-over is recorded in the trace ("player.*"), and so is
// every line of the game's own trace (its "event" becomes the event name).
#pragma once

#include <atomic>
#include <functional>
#include <memory>

#include "platform/controls.h"
#include "platform/dispatcher.h"
#include "platform/event.h"

namespace EnginePlayer {

using RenderingStartedHandler = std::function<void()>;

class AppCallbacks : public virtual Platform::Object {
 public:
  AppCallbacks();
  // Run by Platform::ref_new: the new player becomes CurrentPlayer.
  void FinishConstruction();
  // The player created last.
  static std::shared_ptr<AppCallbacks> CurrentPlayer();

  void PassLaunchArguments(const Platform::String& arguments);
  // False until a page has completed its attach.
  bool GetPlayerReady() const { return ready_; }
  Windows::Foundation::EventRegistrationToken AddRenderingStarted(RenderingStartedHandler handler);
  void RemoveRenderingStarted(Windows::Foundation::EventRegistrationToken token);
  void AttachRenderPanel(const std::shared_ptr<Windows::UI::Xaml::Controls::SwapChainPanel>& panel);
  void AttachCoreWindow(const std::shared_ptr<Windows::UI::Core::CoreWindow>& window);
  void CompletePlayerAttach();
  Platform::String GetRuntimeClassName() const override { return u"EnginePlayer.AppCallbacks"; }

  // Stand-in controls for tests: while held, no frame is rendered (so the
  // splash stays up); releasing resumes rendering of an attached player.
  static void HoldRendering(bool held);
  // Raises rendering-started again, as after a first frame but without
  // rendering one; the result is the last failure a handler reported.
  HRESULT RaiseRenderingStarted() { return renderingStarted_.Raise(); }
  unsigned FramesRendered() const { return frames_; }
  std::size_t RenderingStartedSubscriptions() const { return renderingStarted_.Count(); }

 private:
  void ScheduleFrame();
  void RenderFrame();

  Platform::Event<> renderingStarted_;
  std::shared_ptr<Windows::UI::Xaml::Controls::SwapChainPanel> panel_;
  std::shared_ptr<Windows::UI::Core::CoreWindow> coreWindow_;
  bool ready_ = false;
  bool rendering_ = false;
  unsigned frames_ = 0;
};

// Registers the class "EnginePlayer.AppCallbacks" in the activation registry.
void RegisterAppCallbacks();

}  // namespace EnginePlayer
