// Controls of the stand-in itself, for the corvane program and for tests:
// the package folder, activations, window size, stepping the UI loop and
// resetting to the state of a new process. Not part of the platform.
#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>

#include "platform/activation.h"
#include "platform/application.h"

namespace Platform {

class StandIn {
 public:
  // The folder "ms-appx:///" names. Default: the sample package the build
  // places beside the program ("package" next to the executable).
  static void SetPackageFolder(const std::string& folder);
  static std::string PackageFolder();

  // Makes the calling thread the UI thread, starts the pool's workers and
  // runs `callback` (which creates the application) without entering the
  // loop; tests then step the loop with the Run functions below.
  static void StartApplication(
      const Windows::UI::Xaml::ApplicationInitializationCallback& callback);

  // Queues an activation for the UI thread: Launch reaches OnLaunched, File
  // OnFileActivated, every other kind OnActivated. A failure of the override
  // is recorded ("activation.failed"), kept as ActivationFailure, and ends
  // the application, as an unhandled failure does on the platform. After the
  // application's first activation its preferred launch windowing mode takes
  // effect: FullScreen resizes the window to the display (1920x1080).
  static void Activate(
      std::shared_ptr<Windows::ApplicationModel::Activation::IActivatedEventArgs> args);

  struct Failure {
    HRESULT result;
    std::string message;
  };
  static std::optional<Failure> ActivationFailure();

  // Resizes the main window and raises its SizeChanged, then reports the
  // layout the handlers changed. Call on the UI thread.
  static void ResizeWindow(float width, float height);

  // Step the UI loop; none of them runs a handler once the exit is requested.
  static bool RunOne();
  // Until no handler is queued and no work item is pending.
  static void RunUntilIdle();
  // Until `done` answers true, waiting for handlers that other threads queue
  // (the engine's game thread, pool workers); gives up after `limit`.
  // Returns what `done` answers at the end.
  static bool RunUntil(const std::function<bool()>& done,
                       std::chrono::milliseconds limit = std::chrono::seconds(20));
  // Until the application exits, then ends it as Application::Start does
  // ("application.exit" last; the application is released).
  static void RunUntilExit();
  static bool ExitRequested();

  // The user closes the main window, from any thread (the corvane program
  // does on SIGINT, SIGTERM or SIGHUP): the dispatcher runs no more
  // handlers and the application ends as Application::Start describes,
  // its end beginning with "window.closed".
  static void CloseWindow();

  // How long the application's end waits for a work item still running
  // (default 2 s); one still running then is left behind, counted as
  // "abandonedWorkItems" in "application.dropped". Reset restores it.
  static void SetWorkItemPatience(std::chrono::milliseconds patience);

  // Removes the composition observer, stops the engine (the core window's
  // Closed event) and the pool's workers, then drops the application, the window's content and
  // handlers, queued handlers, view state and the trace: the state of a new process.
  static void Reset();
};

}  // namespace Platform
