// Controls of the stand-in itself, for the corvane program and for tests:
// the package folder, activations, window size, stepping the UI loop and
// resetting to the state of a new process. Not part of the platform.
#pragma once

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

  // Makes the calling thread the UI thread and runs `callback` (which
  // creates the application) without entering the loop; tests then step
  // the loop with RunOne / RunUntilIdle.
  static void StartApplication(
      const Windows::UI::Xaml::ApplicationInitializationCallback& callback);

  // Queues an activation for the UI thread: Launch reaches OnLaunched, File
  // OnFileActivated, every other kind OnActivated. A failure of the override
  // is recorded ("activation.failed"), kept as ActivationFailure, and ends
  // the application, as an unhandled failure does on the platform.
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

  static bool RunOne();
  static void RunUntilIdle();
  static bool ExitRequested();

  // Waits for running work items, then drops the application, the window's
  // content and handlers, queued handlers, view state and the trace.
  static void Reset();
};

}  // namespace Platform
