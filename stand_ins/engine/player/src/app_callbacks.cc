#include "engine_player/app_callbacks.h"

#include <cstdio>
#include <mutex>

#include "configured_options.h"
#include "frame_presenter.h"
#include "game_assembly.h"
#include "game_thread.h"
#include "platform/activation_registry.h"
#include "platform/application.h"
#include "platform/stand_in/trace.h"
#include "platform/strings.h"

namespace EnginePlayer {
namespace {

struct Current {
  std::mutex mutex;
  std::shared_ptr<AppCallbacks> player;
};

Current& TheCurrent() {
  static Current current;
  return current;
}

std::string ResultText(HRESULT result) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(result));
  return text;
}

}  // namespace

AppCallbacks::AppCallbacks() { Platform::Trace::Record("player.created"); }

AppCallbacks::~AppCallbacks() {
  StopGame();
  if (coreWindow_) coreWindow_->Closed.Remove(closedToken_);
}

void AppCallbacks::FinishConstruction() {
  std::lock_guard<std::mutex> lock(TheCurrent().mutex);
  TheCurrent().player = Platform::RefFrom(this);
}

std::shared_ptr<AppCallbacks> AppCallbacks::CurrentPlayer() {
  std::lock_guard<std::mutex> lock(TheCurrent().mutex);
  return TheCurrent().player;
}

void AppCallbacks::PassLaunchArguments(const Platform::String& arguments) {
  Platform::Trace::Record("player.arguments", {{"value", Platform::ToUtf8(arguments)}});
}

Windows::Foundation::EventRegistrationToken AppCallbacks::AddRenderingStarted(
    RenderingStartedHandler handler) {
  return renderingStarted_.Add(std::move(handler));
}

void AppCallbacks::RemoveRenderingStarted(Windows::Foundation::EventRegistrationToken token) {
  renderingStarted_.Remove(token);
}

void AppCallbacks::AttachRenderPanel(
    const std::shared_ptr<Windows::UI::Xaml::Controls::SwapChainPanel>& panel) {
  panel_ = panel;
  Platform::Trace::Record("player.panelattached");
}

void AppCallbacks::AttachCoreWindow(const std::shared_ptr<Windows::UI::Core::CoreWindow>& window) {
  if (coreWindow_) coreWindow_->Closed.Remove(closedToken_);
  coreWindow_ = window;
  closedToken_ = {};
  if (window) {
    std::weak_ptr<AppCallbacks> weak = Platform::WeakFrom(this);
    closedToken_ = window->Closed.Add([weak](auto, auto) {
      if (auto player = weak.lock()) player->StopGame();
    });
  }
  Platform::Trace::Record("player.windowattached");
}

void AppCallbacks::CompletePlayerAttach() {
  ready_ = true;
  Platform::Trace::Record("player.attachcompleted");
  if (game_) return;
  auto window = coreWindow_ ? coreWindow_ : Windows::UI::Core::CoreWindow::GetForCurrentThread();
  if (!window) return;
  std::weak_ptr<AppCallbacks> weak = Platform::WeakFrom(this);
  game_ = std::make_unique<GameThread>(ConfiguredOptions(), window->Dispatcher(),
                                       GameThread::UiHandlers{[weak] {
                                                                if (auto player = weak.lock())
                                                                  player->OnFirstFrameDrawn();
                                                              },
                                                              [weak] {
                                                                if (auto player = weak.lock())
                                                                  player->OnGameQuit();
                                                              }},
                                       FramePresenter(panel_, window));
}

void AppCallbacks::HoldRendering(bool held) { GameThread::Hold(held); }

unsigned AppCallbacks::FramesRendered() const { return game_ ? game_->FramesPlayed() : 0; }

void AppCallbacks::OnFirstFrameDrawn() {
  const HRESULT result = renderingStarted_.Raise();
  Platform::Trace::Record("player.renderingstarted", {{"result", ResultText(result)}});
}

void AppCallbacks::OnGameQuit() {
  Platform::Trace::Record("player.gamequit");
  if (auto application = Windows::UI::Xaml::Application::Current()) application->Exit();
}

// The game thread stops first, so the game quits between two frames.
void AppCallbacks::StopGame() {
  if (!game_) return;
  game_->Stop();
  GameAssembly_Quit();
}

void RegisterAppCallbacks() {
  Platform::RegisterActivatableClass(u"EnginePlayer.AppCallbacks",
                                     [] { return Platform::ref_new<AppCallbacks>(); });
}

}  // namespace EnginePlayer
