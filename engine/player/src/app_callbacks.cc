#include "engine_player/app_callbacks.h"

#include <mutex>

#include "game_assembly.h"
#include "platform/activation_registry.h"
#include "platform/application.h"
#include "platform/stand_in.h"
#include "platform/strings.h"
#include "platform/trace.h"

namespace EnginePlayer {
namespace {

std::atomic<bool> renderingHeld{false};

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

// The game's trace lines join the platform trace, which keeps lines from
// the game's threads whole and in order. A line that is not a JSON object
// with an "event" name is kept as text.
void RecordGameTrace(const char* line) {
  try {
    auto event =
        Platform::Trace::Event::parse(line ? line : "", nullptr, /*allow_exceptions=*/false);
    auto name = event.find("event");
    if (name == event.end() || !name->is_string()) {
      Platform::Trace::Record("game.trace", {{"text", line ? line : ""}});
      return;
    }
    const std::string eventName = *name;
    event.erase(name);
    Platform::Trace::Record(eventName, event);
  } catch (...) {
    // The game's thread must not see the trace's trouble.
  }
}

}  // namespace

AppCallbacks::AppCallbacks() { Platform::Trace::Record("player.created"); }

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
  coreWindow_ = window;
  Platform::Trace::Record("player.windowattached");
}

void AppCallbacks::CompletePlayerAttach() {
  ready_ = true;
  Platform::Trace::Record("player.attachcompleted");
  if (!rendering_) ScheduleFrame();
}

void AppCallbacks::HoldRendering(bool held) {
  renderingHeld = held;
  auto player = CurrentPlayer();
  if (!held && player && player->ready_ && !player->rendering_) player->ScheduleFrame();
}

void AppCallbacks::ScheduleFrame() {
  if (renderingHeld) return;
  auto window = coreWindow_ ? coreWindow_ : Windows::UI::Core::CoreWindow::GetForCurrentThread();
  if (!window) return;
  rendering_ = true;
  std::weak_ptr<AppCallbacks> weak = Platform::WeakFrom(this);
  window->Dispatcher()->RunAsync(Windows::UI::Core::CoreDispatcherPriority::Normal, [weak] {
    if (auto player = weak.lock()) player->RenderFrame();
  });
}

void AppCallbacks::RenderFrame() {
  if (renderingHeld || Platform::StandIn::ExitRequested()) {
    rendering_ = false;
    return;
  }
  if (frames_ == 0) {
    GameAssembly_SetTraceSink(&RecordGameTrace);
    GameAssembly_StartGame();
  }
  const bool quit = GameAssembly_RunFrame() != 0;
  if (++frames_ == 1) {
    const HRESULT result = renderingStarted_.Raise();
    Platform::Trace::Record("player.renderingstarted", {{"result", ResultText(result)}});
  }
  if (quit) {
    rendering_ = false;
    Platform::Trace::Record("player.gamequit");
    if (auto application = Windows::UI::Xaml::Application::Current()) application->Exit();
    return;
  }
  ScheduleFrame();
}

void RegisterAppCallbacks() {
  Platform::RegisterActivatableClass(u"EnginePlayer.AppCallbacks",
                                     [] { return Platform::ref_new<AppCallbacks>(); });
}

}  // namespace EnginePlayer
