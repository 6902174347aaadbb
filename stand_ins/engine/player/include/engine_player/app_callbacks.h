// Stand-in of the engine's player, runtime class "EnginePlayer.AppCallbacks".
//
// The player takes the launch arguments and is handed a render panel and
// the window. CompletePlayerAttach starts the game on a thread of its own
// (see EngineOptions for its timing): once the window is shown and the
// start-up time has passed, the game in GameAssembly plays one frame per
// frame period there, calling Ostrel and the title callback from that
// thread. The player reaches the UI thread only through the window's
// dispatcher: rendering-started is raised there after the game's first
// frame, and when the game quits the application is asked to exit there.
// While somebody watches the window (Platform::Composition), the game's
// picture is presented into the render panel after each frame that drew
// something new.
// The window's Closed event stops the game thread, then has the game quit
// (GameAssembly_Quit: its session ended, its last requests taken, its
// outbox closed with the quit wait). Every hand-over is
// recorded in the trace ("player.*"), and so is every line of the game's
// own trace (its "event" becomes the event name).
#pragma once

#include <memory>

#include "platform/controls.h"
#include "platform/dispatcher.h"
#include "platform/event.h"

namespace EnginePlayer {

using RenderingStartedHandler = std::function<void()>;

class GameThread;

class AppCallbacks : public virtual Platform::Object {
 public:
  AppCallbacks();
  ~AppCallbacks() override;
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
  // Starts the game thread (once per player) on the attached window, or the
  // calling thread's window when none was attached.
  void CompletePlayerAttach();
  Platform::String GetRuntimeClassName() const override { return u"EnginePlayer.AppCallbacks"; }

  // Stand-in controls for tests: while held, the game plays no frame (so
  // the splash stays up); releasing resumes it.
  static void HoldRendering(bool held);
  // Raises rendering-started again, as after a first frame but without
  // playing one; the result is the last failure a handler reported.
  HRESULT RaiseRenderingStarted() { return renderingStarted_.Raise(); }
  unsigned FramesRendered() const;
  std::size_t RenderingStartedSubscriptions() const { return renderingStarted_.Count(); }

 private:
  void OnFirstFrameDrawn();
  void OnGameQuit();
  void StopGame();

  Platform::Event<> renderingStarted_;
  std::shared_ptr<Windows::UI::Xaml::Controls::SwapChainPanel> panel_;
  std::shared_ptr<Windows::UI::Core::CoreWindow> coreWindow_;
  Windows::Foundation::EventRegistrationToken closedToken_;
  std::unique_ptr<GameThread> game_;
  bool ready_ = false;
};

// Registers the class "EnginePlayer.AppCallbacks" in the activation registry.
void RegisterAppCallbacks();

}  // namespace EnginePlayer
