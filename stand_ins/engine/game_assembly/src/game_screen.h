// What the sample game shows in its render panel: the level, the title text
// it gave the window and how far its session has come (a progress bar),
// drawn with cairo, text set with Pango. The session updates it as it
// plays; the engine's player has it drawn after each frame. Thread-safe.
#pragma once

#include <cairo.h>

#include <mutex>
#include <optional>
#include <string>

namespace GameAssembly {

class GameScreen {
 public:
  // The screen's background, so a game frame is told apart from the splash.
  static constexpr unsigned kBackground = 0x101820;
  static constexpr unsigned kProgressColor = 0xF2A541;

  static GameScreen& Instance();

  void Reset();
  void ShowLevel(int level);
  void ShowTitle(const std::string& title);
  void ShowProgress(int done, int total);

  // Draws the screen for a width x height panel with `cr`; false (nothing
  // drawn) when it would look as it did at the last drawing.
  bool Draw(cairo_t* cr, int width, int height);

 private:
  struct State {
    int level = 0;
    std::string title;
    int done = 0, total = 0;
    int width = 0, height = 0;
    bool operator==(const State& other) const;
  };
  static void Paint(cairo_t* cr, const State& state);

  std::mutex mutex_;
  State state_;
  std::optional<State> drawn_;
};

}  // namespace GameAssembly
