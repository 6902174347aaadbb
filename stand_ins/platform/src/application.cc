#include "platform/application.h"

#include <atomic>
#include <mutex>

#include "application_internal.h"
#include "platform/stand_in/composition.h"
#include "platform/stand_in/trace.h"
#include "trace_internal.h"
#include "ui_loop.h"
#include "window_internal.h"

namespace Platform::Internal {
namespace {

struct CurrentApplication {
  std::mutex mutex;
  std::shared_ptr<Windows::UI::Xaml::Application> application;
};

CurrentApplication& Current() {
  static CurrentApplication current;
  return current;
}

std::atomic<bool> closedByUser{false};

}  // namespace

void CloseMainWindow() {
  closedByUser = true;
  UiLoop::Instance().RequestExit();
}

void ForgetWindowClose() { closedByUser = false; }

void ReleaseApplication() {
  std::shared_ptr<Windows::UI::Xaml::Application> released;
  std::lock_guard<std::mutex> lock(Current().mutex);
  released.swap(Current().application);
}

void EndApplication() {
  if (closedByUser) Trace::Record("window.closed");
  auto coreWindow = MainWindow()->CoreWindow();
  coreWindow->Closed.Raise(coreWindow, Platform::ref_new<Windows::UI::Core::CoreWindowEventArgs>());
  const WorkerPoolEnd pool = ShutDownWorkerPool();
  ReleaseWindowContent();
  ReleaseApplication();
  const std::size_t handlers = UiLoop::Instance().DropQueued();
  if (handlers > 0 || pool.dropped > 0 || pool.abandoned > 0) {
    Trace::Event dropped{{"handlers", handlers}, {"workItems", pool.dropped}};
    if (pool.abandoned > 0) dropped["abandonedWorkItems"] = pool.abandoned;
    Trace::Record("application.dropped", dropped);
  }
  Composition::NotifyApplicationEnding();
  RecordFinalEvent("application.exit");
}

}  // namespace Platform::Internal

namespace Windows::UI::Xaml {

using namespace Windows::ApplicationModel::Activation;

void Application::Start(ApplicationInitializationCallback callback) {
  auto& loop = Platform::Internal::UiLoop::Instance();
  loop.BindCurrentThread();
  Platform::Internal::StartWorkerPool();
  try {
    callback(Platform::ref_new<ApplicationInitializationCallbackParams>());
    if (!Current())
      throw Platform::FailureException(u"the initialization callback created no application");
  } catch (...) {
    Platform::Internal::ReleaseApplication();
    Platform::Internal::ResetWorkerPool();
    loop.Unbind();
    throw;
  }
  loop.RunUntilExit();
  Platform::Internal::EndApplication();
  loop.Unbind();
}

std::shared_ptr<Application> Application::Current() {
  auto& current = Platform::Internal::Current();
  std::lock_guard<std::mutex> lock(current.mutex);
  return current.application;
}

void Application::Exit() { Platform::Internal::UiLoop::Instance().RequestExit(); }

void Application::FinishConstruction() {
  auto& current = Platform::Internal::Current();
  std::lock_guard<std::mutex> lock(current.mutex);
  current.application = Platform::RefFrom(this);
}

void Application::Deliver(const std::shared_ptr<IActivatedEventArgs>& args) {
  switch (args->Kind()) {
    case ActivationKind::Launch:
      OnLaunched(Platform::safe_cast<LaunchActivatedEventArgs>(args));
      break;
    case ActivationKind::File:
      OnFileActivated(Platform::safe_cast<FileActivatedEventArgs>(args));
      break;
    default:
      OnActivated(args);
      break;
  }
}

}  // namespace Windows::UI::Xaml
