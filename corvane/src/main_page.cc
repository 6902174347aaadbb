#include "main_page.h"

#include "engine_player/app_callbacks.h"
#include "main_page_activation.h"
#include "platform/window.h"

namespace Corvane {

MainPage::MainPage() {
  NavigationCacheMode(Windows::UI::Xaml::Navigation::NavigationCacheMode::Required);
  auto player = EnginePlayer::AppCallbacks::CurrentPlayer();
  auto window = Windows::UI::Xaml::Window::Current();
  if (!player || !window) return;  // made outside a running application
  player->AttachCoreWindow(window->CoreWindow());
  player->CompletePlayerAttach();
}

Platform::ObjectRef ActivateMainPage() { return Platform::ref_new<MainPage>(); }

}  // namespace Corvane
