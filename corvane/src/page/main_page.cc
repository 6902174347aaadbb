#include "page/main_page.h"

#include <string>

#include "app/app.h"
#include "engine_player/app_callbacks.h"
#include "page/main_page_activation.h"
#include "platform/application.h"
#include "platform/dispatcher.h"
#include "platform/thread_pool.h"
#include "platform/window.h"

namespace Corvane {
namespace {

using Windows::UI::Xaml::FrameworkElement;
using Windows::UI::Xaml::UIElement;
using Windows::UI::Xaml::Window;
using Windows::UI::Xaml::Controls::Canvas;
using Windows::UI::Xaml::Controls::Panel;
using Windows::UI::Xaml::Controls::SwapChainPanel;

constexpr const char16_t* kPageMarkup = u"ms-appx:///MainPage.xaml";

// `object`, or a null-reference failure saying what was missing.
template <class T>
std::shared_ptr<T> Required(std::shared_ptr<T> object, const char16_t* what) {
  if (!object) throw Platform::NullReferenceException(what);
  return object;
}

// The target of a connection taken as the field's element type; a target of
// another type is an invalid-cast failure that names the connection.
template <class T>
std::shared_ptr<T> ConnectedAs(int connectionId, const Platform::ObjectRef& target,
                               const char16_t* field, const char16_t* type) {
  if (target && !Platform::try_cast<T>(target)) {
    const std::string id = std::to_string(connectionId);
    throw Platform::InvalidCastException(u"connection " + Platform::String(id.begin(), id.end()) +
                                         u" (" + field + u") must be a " + type + u", not " +
                                         target->GetRuntimeClassName());
  }
  return Platform::safe_cast<T>(target);
}

std::shared_ptr<Window> CurrentWindow() {
  return Required(Window::Current(), u"no window: the main page is made on the UI thread");
}

std::shared_ptr<EnginePlayer::AppCallbacks> CurrentPlayer() {
  return Required(EnginePlayer::AppCallbacks::CurrentPlayer(), u"no engine player");
}

}  // namespace

void MainPage::FinishConstruction() {
  LoadPageMarkup();
  RequireConnectedElements();
  NavigationCacheMode(Windows::UI::Xaml::Navigation::NavigationCacheMode::Required);
  SubscribeToRenderingStarted();
  auto player = CurrentPlayer();
  player->AttachRenderPanel(renderPanel);
  player->AttachCoreWindow(CurrentWindow()->CoreWindow());
  player->CompletePlayerAttach();
  auto application = Platform::safe_cast<App>(Windows::UI::Xaml::Application::Current());
  splashScreen = Required(application, u"no Corvane application")->GetSplashScreen();
  StartSplashColorRead();
  RefreshSplashPlacement();
  SubscribeToSizeChanges();
}

MainPage::~MainPage() {
  if (renderingStartedToken.Value != 0) {
    if (auto player = EnginePlayer::AppCallbacks::CurrentPlayer())
      player->RemoveRenderingStarted(renderingStartedToken);
    renderingStartedToken = {};
  }
  if (sizeChangedToken.Value != 0) {
    // While subscribed the window's handler holds this page, so the page only
    // gets here once the window has dropped its handlers.
    if (auto window = Window::Current()) window->SizeChanged.Remove(sizeChangedToken);
    sizeChangedToken = {};
  }
  splashScreen = nullptr;
  splashImage = nullptr;
  splashContainer = nullptr;
  renderPanel = nullptr;
}

void MainPage::LoadPageMarkup() {
  if (contentLoaded) return;
  contentLoaded = true;
  auto uri = Platform::ref_new<Windows::Foundation::Uri>(kPageMarkup);
  Windows::UI::Xaml::Application::LoadComponent(
      Platform::RefFrom(this), uri,
      Windows::UI::Xaml::Controls::Primitives::ComponentResourceLocation::Application);
}

void MainPage::Connect(int connectionId, Platform::ObjectRef target) {
  switch (connectionId) {
    case 2:
      renderPanel =
          ConnectedAs<SwapChainPanel>(connectionId, target, u"renderPanel", u"SwapChainPanel");
      break;
    case 3:
      splashContainer = ConnectedAs<Panel>(connectionId, target, u"splashContainer", u"Panel");
      break;
    case 4:
      splashImage =
          ConnectedAs<FrameworkElement>(connectionId, target, u"splashImage", u"FrameworkElement");
      break;
    default:
      break;
  }
  contentLoaded = true;
}

std::shared_ptr<Windows::UI::Xaml::Markup::IComponentConnector> MainPage::GetBindingConnector(
    int, Platform::ObjectRef) {
  return nullptr;
}

// Markup that loads but lacks one of the three elements, or arranges them
// so that removing the container would not uncover the game, would leave
// the page unable to attach the player or to place or remove the splash
// screen.
void MainPage::RequireConnectedElements() const {
  const char16_t* missing = !renderPanel       ? u"renderPanel (connection 2)"
                            : !splashContainer ? u"splashContainer (connection 3)"
                            : !splashImage     ? u"splashImage (connection 4)"
                                               : nullptr;
  if (missing) {
    throw Platform::FailureException(Platform::String(kPageMarkup) + u" declares no " + missing);
  }
  if (splashContainer->Parent() != renderPanel) {
    throw Platform::FailureException(
        Platform::String(kPageMarkup) +
        u": splashContainer (connection 3) must be a child of renderPanel (connection 2)");
  }
  auto holder = splashImage->Parent();
  while (holder && holder != splashContainer) holder = holder->Parent();
  if (!holder) {
    throw Platform::FailureException(
        Platform::String(kPageMarkup) +
        u": splashImage (connection 4) must be inside splashContainer (connection 3)");
  }
}

// The delegate holds the page weakly: the player does not keep the page
// alive, and a page that is gone reports the disconnected failure.
void MainPage::SubscribeToRenderingStarted() {
  std::weak_ptr<MainPage> weakPage = Platform::WeakFrom(this);
  renderingStartedToken =
      CurrentPlayer()->AddRenderingStarted([weakPage, counted = ModuleObjectCount()] {
        auto page = weakPage.lock();
        if (!page) throw Platform::DisconnectedException(u"the main page is gone");
        page->HandleRenderingStarted();
      });
}

// The work item reads the manifest off the UI thread and hands a colour back
// through the dispatcher; a value that fails to parse ends it through its
// boundary, with no colour.
void MainPage::StartSplashColorRead() {
  auto coreWindow =
      Required(Windows::UI::Core::CoreWindow::GetForCurrentThread(), u"no core window");
  auto dispatcher = coreWindow->Dispatcher();
  auto page = Platform::RefFrom(this);
  Windows::System::Threading::ThreadPool::RunAsync([page, dispatcher,
                                                    counted = ModuleObjectCount()](auto) {
    const auto color = ReadManifestSplashColor();
    if (!color) return;
    dispatcher->RunAsync(
        Windows::UI::Core::CoreDispatcherPriority::Normal,
        [page, color = *color, counted = ModuleObjectCount()] { page->ApplySplashColor(color); });
  });
}

void MainPage::SubscribeToSizeChanges() {
  auto page = Platform::RefFrom(this);
  sizeChangedToken = CurrentWindow()->SizeChanged.Add(
      [page, counted = ModuleObjectCount()](auto, auto) { page->RefreshSplashPlacement(); });
}

void MainPage::OnNavigatedTo(
    std::shared_ptr<Windows::UI::Xaml::Navigation::NavigationEventArgs> e) {
  auto parameter = Required(e, u"no navigation arguments")->Parameter();
  if (!parameter) return;
  splashScreen =
      Platform::safe_cast<Windows::ApplicationModel::Activation::SplashScreen>(parameter);
  RefreshSplashPlacement();
}

void MainPage::RefreshSplashPlacement() {
  if (!splashScreen) return;
  splashImageRect = splashScreen->ImageLocation();
  PositionSplashImage();
}

// The rectangle is used as the platform reports it; the offsets are boxed as
// single-precision values, the size widened to double.
void MainPage::PositionSplashImage() {
  Required(splashImage, u"no splash image");
  splashImage->SetValue(Canvas::LeftProperty(), Windows::Foundation::Box(splashImageRect.X));
  splashImage->SetValue(Canvas::TopProperty(), Windows::Foundation::Box(splashImageRect.Y));
  splashImage->Height(static_cast<double>(splashImageRect.Height));
  splashImage->Width(static_cast<double>(splashImageRect.Width));
}

void MainPage::HandleRenderingStarted() {
  std::shared_ptr<UIElement> container = splashContainer;
  Required(renderPanel, u"no render panel");
  unsigned index = 0;
  if (renderPanel->Children()->IndexOf(container, index)) renderPanel->Children()->RemoveAt(index);
  if (sizeChangedToken.Value != 0) {
    CurrentWindow()->SizeChanged.Remove(sizeChangedToken);
    sizeChangedToken = {};
  }
}

void MainPage::ApplySplashColor(const SplashColor& color) {
  auto brush = Platform::ref_new<Windows::UI::Xaml::Media::SolidColorBrush>(ToPlatformColor(color));
  Required(splashContainer, u"no splash container")->Background(brush);
}

Platform::ObjectRef ActivateMainPage() { return Platform::ref_new<MainPage>(); }

}  // namespace Corvane
