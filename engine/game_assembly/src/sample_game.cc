#include "sample_game.h"

#include "header_callback.h"

namespace GameAssembly {
namespace {
// The frame on which the game quits.
constexpr int kLastFrame = 4;
}  // namespace

SampleGame& SampleGame::Instance() {
  static SampleGame game;
  return game;
}

void SampleGame::Start() {
  std::lock_guard<std::mutex> lock(mutex_);
  frame_ = 0;
}

bool SampleGame::RunFrame() {
  std::lock_guard<std::mutex> lock(mutex_);
  ++frame_;
  switch (frame_) {
    case 1: SetWindowTitle("Level 1"); break;
    case 3: SetWindowTitle("Caf\xC3\xA9 \xC3\x89lan \xE2\x80\x94 Level 2"); break;  // Café Élan — Level 2
    default: break;
  }
  return frame_ >= kLastFrame;
}

}  // namespace GameAssembly
