#include "app/app.h"

#include "app/title_bridge.h"
#include "module/game_assembly_imports.h"
#include "platform/activation_registry.h"
#include "platform/page.h"
#include "platform/view.h"
#include "platform/window.h"

namespace Corvane {

using namespace Windows::ApplicationModel::Activation;
using Windows::Graphics::Display::DisplayInformation;
using Windows::Graphics::Display::DisplayOrientations;
using Windows::UI::ViewManagement::ApplicationView;
using Windows::UI::ViewManagement::ApplicationViewWindowingMode;
using Windows::UI::Xaml::Window;

App::App() {
  DisplayInformation::AutoRotationPreferences(DisplayOrientations::Landscape |
                                              DisplayOrientations::LandscapeFlipped);
  ApplicationView::PreferredLaunchWindowingMode(ApplicationViewWindowingMode::FullScreen);
  player = Platform::safe_cast<EnginePlayer::AppCallbacks>(
      Platform::ActivateInstance(u"EnginePlayer.AppCallbacks"));
}

void App::OnLaunched(std::shared_ptr<LaunchActivatedEventArgs> args) {
  splashScreen = args->SplashScreen();
  ActivateHost(args->Arguments());
}

void App::OnActivated(std::shared_ptr<IActivatedEventArgs> args) {
  Platform::String arguments;
  if (args->Kind() == ActivationKind::Protocol) {
    auto protocol = Platform::safe_cast<ProtocolActivatedEventArgs>(args);
    splashScreen = protocol->SplashScreen();
    arguments = u"Uri=" + protocol->Uri()->AbsoluteUri();
  }
  ActivateHost(arguments);
}

void App::OnFileActivated(std::shared_ptr<FileActivatedEventArgs> args) {
  Platform::String arguments = u"File=";
  splashScreen = args->SplashScreen();
  auto files = args->Files();
  for (unsigned i = 0; i < files->Size(); ++i) {
    if (i > 0) arguments += u";";
    arguments += files->GetAt(i)->Path();
  }
  ActivateHost(arguments);
}

void App::ActivateHost(const Platform::String& arguments) {
  ApplicationView::GetForCurrentView()->SuppressSystemOverlays(true);
  player->PassLaunchArguments(arguments);
  auto window = Window::Current();
  auto frame = Platform::safe_cast<Windows::UI::Xaml::Controls::Frame>(window->Content());
  if (!frame && !player->GetPlayerReady()) {
    frame = Platform::ref_new<Windows::UI::Xaml::Controls::Frame>();
    window->Content(frame);
    window->Activate();
    frame->Navigate({u"Corvane.MainPage", Windows::UI::Xaml::Interop::TypeKind::Custom});
  }
  window->Activate();
  CachedView();
  GameAssembly().SetHeaderUpdateCallback(&HeaderUpdateCallback);
}

std::shared_ptr<Windows::UI::Xaml::Markup::IXamlType> App::GetXamlType(
    const Windows::UI::Xaml::Interop::TypeName& type) {
  return provider.GetXamlType(type);
}

std::shared_ptr<Windows::UI::Xaml::Markup::IXamlType> App::GetXamlType(
    const Platform::String& fullName) {
  return provider.GetXamlType(fullName);
}

std::vector<Windows::UI::Xaml::Markup::XmlnsDefinition> App::GetXmlnsDefinitions() {
  return provider.GetXmlnsDefinitions();
}

}  // namespace Corvane
