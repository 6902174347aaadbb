#include "game_thread.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>

#include "game_assembly.h"
#include "game_trace_recorder.h"
#include "platform/stand_in/trace.h"

namespace EnginePlayer {
namespace {

using Clock = std::chrono::steady_clock;
using Windows::UI::Core::CoreDispatcherPriority;

// Shared by every game thread: the hold, and the wake-ups of their waits.
struct Pacing {
  std::mutex mutex;
  std::condition_variable changed;
  bool held = false;
};

Pacing& ThePacing() {
  static Pacing pacing;
  return pacing;
}

}  // namespace

// Guarded by the pacing's mutex; shared with the handler that reports the
// window shown, which may run after the thread has gone.
struct GameThread::Flags {
  bool shown = false;
  bool stopping = false;
};

GameThread::GameThread(const EngineOptions& timing,
                       std::shared_ptr<Windows::UI::Core::CoreDispatcher> ui, UiHandlers handlers,
                       std::function<void()> present)
    : ui_(std::move(ui)), present_(std::move(present)), flags_(std::make_shared<Flags>()) {
  std::weak_ptr<Flags> flags = flags_;
  ui_->RunAsync(CoreDispatcherPriority::Normal, [flags] {
    auto shown = flags.lock();
    if (!shown) return;
    {
      std::lock_guard<std::mutex> lock(ThePacing().mutex);
      shown->shown = true;
    }
    ThePacing().changed.notify_all();
  });
  thread_ = std::thread([this, timing, handlers = std::move(handlers)] { Run(timing, handlers); });
}

GameThread::~GameThread() { Stop(); }

void GameThread::Stop() {
  {
    std::lock_guard<std::mutex> lock(ThePacing().mutex);
    flags_->stopping = true;
  }
  ThePacing().changed.notify_all();
  if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

void GameThread::Hold(bool held) {
  {
    std::lock_guard<std::mutex> lock(ThePacing().mutex);
    ThePacing().held = held;
  }
  ThePacing().changed.notify_all();
}

void GameThread::Run(const EngineOptions& timing, const UiHandlers& handlers) {
  Platform::Trace::NameCurrentThread("game");
  auto& pacing = ThePacing();
  {
    std::unique_lock<std::mutex> lock(pacing.mutex);
    pacing.changed.wait(lock, [&] { return flags_->stopping || flags_->shown; });
    const auto firstFrame = Clock::now() + timing.startupTime;
    pacing.changed.wait_until(lock, firstFrame, [&] { return flags_->stopping; });
    if (flags_->stopping) return;
  }
  GameAssembly_SetTraceSink(&RecordGameTrace);
  GameAssembly_StartGame();
  PlayFrames(timing.framePeriod, handlers);
}

void GameThread::PlayFrames(std::chrono::milliseconds framePeriod, const UiHandlers& handlers) {
  auto& pacing = ThePacing();
  for (auto frameStart = Clock::now();;) {
    {
      std::unique_lock<std::mutex> lock(pacing.mutex);
      pacing.changed.wait(lock, [&] { return flags_->stopping || !pacing.held; });
      if (flags_->stopping) return;
    }
    const bool quit = GameAssembly_RunFrame() != 0;
    if (present_) present_();  // the first frame is presented before rendering-started
    if (++frames_ == 1) Queue(handlers.firstFrameDrawn);
    if (quit) return Queue(handlers.gameQuit);
    // A frame that ran late moves the pace instead of bunching the next ones.
    frameStart = std::max(frameStart + framePeriod, Clock::now());
    std::unique_lock<std::mutex> lock(pacing.mutex);
    pacing.changed.wait_until(lock, frameStart, [&] { return flags_->stopping; });
    if (flags_->stopping) return;
  }
}

void GameThread::Queue(const std::function<void()>& handler) {
  ui_->RunAsync(CoreDispatcherPriority::Normal, handler);
}

}  // namespace EnginePlayer
