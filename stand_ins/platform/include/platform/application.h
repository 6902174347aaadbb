// The XAML application model (Windows::UI::Xaml::Application).
#pragma once

#include <functional>
#include <memory>

#include "platform/activation.h"
#include "platform/foundation.h"
#include "platform/runtime.h"

namespace Platform {
class StandIn;
}

namespace Windows::UI::Xaml {

namespace Controls::Primitives {
enum class ComponentResourceLocation : std::int32_t { Application = 0, Nested = 1 };
}

class ApplicationInitializationCallbackParams : public virtual Platform::Object {};
using ApplicationInitializationCallback =
    std::function<void(std::shared_ptr<ApplicationInitializationCallbackParams>)>;

// The application object. Making one with Platform::ref_new registers it as
// Application::Current (the framework keeps it alive from then on).
// Activations reach the overrides on the UI thread, each inside the
// boundary that turns an exception into the override's failure result.
class Application : public virtual Platform::Object {
 public:
  // The calling thread becomes the UI thread and the thread pool's workers
  // start: runs `callback`, which must create the application object, then
  // the dispatcher loop until Exit is called (or the user closes the
  // window: StandIn::CloseWindow). Then the application ends: the core
  // window's Closed event is raised, the work items not started are
  // dropped, those already running get up to 2 seconds to finish (what
  // they hand back to the dispatcher never runs; one still running then is
  // left behind), the application is released, the handlers still queued
  // are dropped and counted ("application.dropped"), and
  // "application.exit" is the trace's last line. A failure of the callback (or a callback creating
  // no application) is raised to the caller.
  static void Start(ApplicationInitializationCallback callback);
  static std::shared_ptr<Application> Current();

  // Loads the markup file that `resourceLocator` ("ms-appx:///X") names from
  // the package folder, makes its root element's child the content of
  // `component` (a Page) and calls the component's IComponentConnector
  // Connect for every element with an x:ConnectionId (the element keeps its
  // id: FrameworkElement::ConnectionId). Only a regular file is read. A
  // missing or unreadable file, a file over kMaxMarkupBytes, elements nested
  // deeper than kMaxMarkupDepth or bad markup raise a platform failure with a
  // message saying what went wrong.
  static constexpr int kMaxMarkupDepth = 256;
  static constexpr unsigned long long kMaxMarkupBytes = 16ull << 20;  // 16 MiB
  static void LoadComponent(const Platform::ObjectRef& component,
                            const std::shared_ptr<Windows::Foundation::Uri>& resourceLocator,
                            Controls::Primitives::ComponentResourceLocation location =
                                Controls::Primitives::ComponentResourceLocation::Application);

  // Ends the application: the dispatcher runs no handler after the one
  // that calls Exit (see Start).
  void Exit();

  // Run by Platform::ref_new: registers this object as Application::Current.
  void FinishConstruction();
  Platform::String GetRuntimeClassName() const override { return u"Windows.UI.Xaml.Application"; }

 protected:
  Application() = default;
  virtual void OnLaunched(
      std::shared_ptr<Windows::ApplicationModel::Activation::LaunchActivatedEventArgs>) {}
  virtual void OnActivated(
      std::shared_ptr<Windows::ApplicationModel::Activation::IActivatedEventArgs>) {}
  virtual void OnFileActivated(
      std::shared_ptr<Windows::ApplicationModel::Activation::FileActivatedEventArgs>) {}

 private:
  friend class Platform::StandIn;
  void Deliver(
      const std::shared_ptr<Windows::ApplicationModel::Activation::IActivatedEventArgs>& args);
};

}  // namespace Windows::UI::Xaml
