#include "platform/stand_in/stand_in.h"

#include <unistd.h>
#include <mutex>

#include "application_internal.h"
#include "platform/stand_in/composition.h"
#include "platform/stand_in/trace.h"
#include "platform/strings.h"
#include "platform/view.h"
#include "ui_loop.h"
#include "window_internal.h"

namespace Platform {
namespace {

struct StandInState {
  std::mutex mutex;
  std::string packageFolder;
  std::optional<StandIn::Failure> failure;
  bool activated = false;
};

StandInState& State() {
  static StandInState state;
  return state;
}

std::string ExecutableFolder() {
  char path[4096];
  const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  if (length <= 0) return ".";
  std::string folder(path, static_cast<std::size_t>(length));
  const auto slash = folder.rfind('/');
  return slash == std::string::npos ? "." : folder.substr(0, slash);
}

void RecordFailure(HRESULT result, std::string message) {
  char code[16];
  std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(result));
  Trace::Record("activation.failed", {{"result", code}, {"message", message}});
  {
    std::lock_guard<std::mutex> lock(State().mutex);
    State().failure = StandIn::Failure{result, std::move(message)};
  }
  Internal::UiLoop::Instance().RequestExit();
}

// The launch windowing mode takes effect once the first activation has
// shown the window, as a size change of its own.
void ApplyLaunchWindowingMode() {
  {
    std::lock_guard<std::mutex> lock(State().mutex);
    if (State().activated) return;
    State().activated = true;
  }
  using Windows::UI::ViewManagement::ApplicationView;
  using Windows::UI::ViewManagement::ApplicationViewWindowingMode;
  if (ApplicationView::PreferredLaunchWindowingMode() != ApplicationViewWindowingMode::FullScreen)
    return;
  Internal::FlushLayout();  // what the activation placed, before the resize
  StandIn::ResizeWindow(Internal::kDisplaySize.Width, Internal::kDisplaySize.Height);
}

}  // namespace

void StandIn::SetPackageFolder(const std::string& folder) {
  std::lock_guard<std::mutex> lock(State().mutex);
  State().packageFolder = folder;
}

std::string StandIn::PackageFolder() {
  std::lock_guard<std::mutex> lock(State().mutex);
  if (State().packageFolder.empty()) State().packageFolder = ExecutableFolder() + "/package";
  return State().packageFolder;
}

void StandIn::StartApplication(
    const Windows::UI::Xaml::ApplicationInitializationCallback& callback) {
  Internal::UiLoop::Instance().BindCurrentThread();
  Internal::StartWorkerPool();
  callback(ref_new<Windows::UI::Xaml::ApplicationInitializationCallbackParams>());
}

void StandIn::Activate(
    std::shared_ptr<Windows::ApplicationModel::Activation::IActivatedEventArgs> args) {
  Internal::UiLoop::Instance().Post(0, [args = std::move(args)] {
    auto application = Windows::UI::Xaml::Application::Current();
    if (!application) return RecordFailure(E_UNEXPECTED, "no application to activate");
    try {
      application->Deliver(args);
      ApplyLaunchWindowingMode();
    } catch (const std::exception& e) {
      RecordFailure(ResultFromCaughtException(), e.what());
    } catch (...) {
      RecordFailure(ResultFromCaughtException(), "unknown failure");
    }
  });
}

std::optional<StandIn::Failure> StandIn::ActivationFailure() {
  std::lock_guard<std::mutex> lock(State().mutex);
  return State().failure;
}

void StandIn::ResizeWindow(float width, float height) {
  Internal::MainWindow()->Resize(width, height);
  Internal::FlushLayout();  // a resize is a UI-thread event: layout follows it
}

bool StandIn::RunOne() { return Internal::UiLoop::Instance().RunOne(); }

void StandIn::RunUntilIdle() { Internal::UiLoop::Instance().RunUntilIdle(); }

bool StandIn::RunUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  return Internal::UiLoop::Instance().RunUntil(done, std::chrono::steady_clock::now() + limit);
}

void StandIn::RunUntilExit() {
  Internal::UiLoop::Instance().RunUntilExit();
  Internal::EndApplication();
}

bool StandIn::ExitRequested() { return Internal::UiLoop::Instance().ExitRequested(); }

void StandIn::CloseWindow() { Internal::CloseMainWindow(); }

void StandIn::SetWorkItemPatience(std::chrono::milliseconds patience) {
  Internal::SetWorkItemPatience(patience);
}

void StandIn::Reset() {
  Composition::SetObserver(nullptr);
  auto coreWindow = Internal::MainWindow()->CoreWindow();
  coreWindow->Closed.Raise(coreWindow, ref_new<Windows::UI::Core::CoreWindowEventArgs>());
  Internal::ResetWorkerPool();
  Internal::SetWorkItemPatience(Internal::kDefaultWorkItemPatience);
  Internal::ForgetWindowClose();
  Internal::ReleaseWindowContent();
  Internal::ReleaseApplication();
  Internal::UiLoop::Instance().Reset();
  Internal::FlushLayout();
  Windows::UI::ViewManagement::ApplicationView::Reset();
  {
    std::lock_guard<std::mutex> lock(State().mutex);
    State().failure.reset();
    State().activated = false;
  }
  Trace::Clear();
}

}  // namespace Platform
