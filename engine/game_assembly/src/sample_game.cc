#include "sample_game.h"

#include "game_screen.h"
#include "ostrel.h"
#include "sample_game_session.h"

namespace GameAssembly {
namespace {
// About one frame at 60 frames per second.
constexpr std::chrono::milliseconds kFrameWait{16};
}  // namespace

SampleGame& SampleGame::Instance() {
  static SampleGame game;
  return game;
}

void SampleGame::SetCollector(const std::string& url) {
  if (!url.empty()) static_cast<void>(Delivery::CollectorAddress(url));  // throws when unusable
  std::lock_guard<std::mutex> lock(mutex_);
  collectorUrl_ = url;
}

void SampleGame::Start() {
  std::lock_guard<std::mutex> lock(mutex_);
  EndAbandonedSession();
  outbox_.reset();  // requests still unsent are reported as failed
  outbox_ = std::make_unique<RequestOutbox>(collectorUrl_);
  phase_ = Phase::Playing;
  frame_ = 0;
  GameScreen::Instance().Reset();
}

bool SampleGame::RunFrame() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (phase_ == Phase::Quit) return true;
  if (!outbox_) outbox_ = std::make_unique<RequestOutbox>(collectorUrl_);
  if (phase_ == Phase::Playing) PlaySessionFrame();
  if (phase_ == Phase::Quitting) WaitForDelivery();
  return phase_ == Phase::Quit;
}

void SampleGame::PlaySessionFrame() {
  ++frame_;
  for (const SessionStep& step : SessionSteps()) {
    if (step.frame == frame_) step.play();
  }
  GameScreen::Instance().ShowProgress(frame_, SessionSteps().back().frame);
  Tavi_Update();  // does nothing before Tavi_Init and after Tavi_Destroy
  outbox_->TakeQueued();
  if (frame_ >= SessionSteps().back().frame) {
    phase_ = Phase::Quitting;
    quitDeadline_ = std::chrono::steady_clock::now() + kQuitWait;
  }
}

// Waits at most one frame's time per frame, so the frames keep their pace.
void SampleGame::WaitForDelivery() {
  if (outbox_->Delivered(kFrameWait) || std::chrono::steady_clock::now() >= quitDeadline_) {
    outbox_.reset();
    phase_ = Phase::Quit;
  }
}

void SampleGame::EndAbandonedSession() {
  if (phase_ != Phase::Playing || frame_ == 0) return;
  Tavi_Destroy();
  if (outbox_) outbox_->TakeQueued();
}

}  // namespace GameAssembly
