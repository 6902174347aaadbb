// The game's own thread, as the engine runs it. It first waits until the
// window is shown (a handler it queues on the UI dispatcher has run), then
// for the start-up time; then it plays the game's frames in GameAssembly,
// one every frame period, until the game quits. After each frame it runs
// `present` (which may show the game's picture). After the first frame it
// queues `firstFrameDrawn` on the dispatcher, and when the game quits,
// `gameQuit`; it reaches the UI thread in no other way and never waits for
// it after the start. While rendering is held, no frame is played.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <thread>

#include "engine_player/engine_options.h"
#include "platform/dispatcher.h"

namespace EnginePlayer {

class GameThread {
 public:
  struct UiHandlers {
    std::function<void()> firstFrameDrawn;
    std::function<void()> gameQuit;
  };

  GameThread(const EngineOptions& timing, std::shared_ptr<Windows::UI::Core::CoreDispatcher> ui,
             UiHandlers handlers, std::function<void()> present = nullptr);
  ~GameThread();
  GameThread(const GameThread&) = delete;
  GameThread& operator=(const GameThread&) = delete;

  // Ends the thread once the frame it is playing, if any, is done, and
  // waits for that. Nothing is queued on the dispatcher afterwards.
  void Stop();
  unsigned FramesPlayed() const { return frames_.load(); }

  // While held, no game thread plays a frame; releasing resumes them.
  static void Hold(bool held);

 private:
  struct Flags;

  void Run(const EngineOptions& timing, const UiHandlers& handlers);
  void PlayFrames(std::chrono::milliseconds framePeriod, const UiHandlers& handlers);
  void Queue(const std::function<void()>& handler);

  std::shared_ptr<Windows::UI::Core::CoreDispatcher> ui_;
  std::function<void()> present_;
  std::shared_ptr<Flags> flags_;
  std::atomic<unsigned> frames_{0};
  std::thread thread_;
};

}  // namespace EnginePlayer
