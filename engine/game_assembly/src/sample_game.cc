#include "sample_game.h"

#include <cstdlib>
#include <stdexcept>

#include "game_screen.h"
#include "ostrel.h"
#include "sample_game_session.h"

namespace GameAssembly {
namespace {
// About one frame at 60 frames per second.
constexpr std::chrono::milliseconds kFrameWait{16};

std::chrono::milliseconds QuitWait() {
  const char* wait = std::getenv("SAMPLE_GAME_QUIT_WAIT_MS");
  if (wait == nullptr || *wait == '\0') return SampleGame::kQuitWait;
  char* end = nullptr;
  const long long milliseconds = std::strtoll(wait, &end, 10);
  if (*end != '\0' || milliseconds < 0) return SampleGame::kQuitWait;
  return std::chrono::milliseconds(milliseconds);
}
}  // namespace

SampleGame& SampleGame::Instance() {
  static SampleGame game;
  return game;
}

void SampleGame::SetCollector(const std::string& url, const std::string& outboxFolder) {
  char reason[512] = "";
  if (!url.empty() && !Delivery_CheckCollectorUrl(url.c_str(), reason, sizeof reason)) {
    throw std::invalid_argument(reason);
  }
  if (!url.empty() && outboxFolder.empty()) throw std::invalid_argument("no outbox folder given");
  std::lock_guard<std::mutex> lock(settingsMutex_);
  collectorUrl_ = url;
  outboxFolder_ = outboxFolder;
}

std::int64_t SampleGame::RequestsNotDelivered() {
  std::lock_guard<std::mutex> lock(settingsMutex_);
  return notDelivered_;
}

std::unique_ptr<RequestDelivery> SampleGame::NewDelivery() {
  std::string url, folder;
  {
    std::lock_guard<std::mutex> lock(settingsMutex_);
    url = collectorUrl_;
    folder = outboxFolder_;
  }
  return std::make_unique<RequestDelivery>(url, folder);
}

void SampleGame::Start() {
  EndAbandonedSession();
  delivery_.reset();  // what is still unsent stays in the outbox
  delivery_ = NewDelivery();
  phase_ = Phase::Playing;
  frame_ = 0;
  GameScreen::Instance().Reset();
}

bool SampleGame::RunFrame() {
  if (phase_ == Phase::Quit) return true;
  if (!delivery_) delivery_ = NewDelivery();
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
  delivery_->TakeQueued();
  if (frame_ >= SessionSteps().back().frame) {
    phase_ = Phase::Quitting;
    quitDeadline_ = std::chrono::steady_clock::now() + QuitWait();
  }
}

// Waits at most one frame's time per frame, so the frames keep their pace.
void SampleGame::WaitForDelivery() {
  if (delivery_->Delivered(kFrameWait) || std::chrono::steady_clock::now() >= quitDeadline_) {
    Quit();
  }
}

// What is left stays in the outbox for the next run.
void SampleGame::Quit() {
  const std::int64_t notDelivered = delivery_->Finish(std::chrono::milliseconds(0));
  delivery_.reset();
  {
    std::lock_guard<std::mutex> lock(settingsMutex_);
    notDelivered_ = notDelivered;
  }
  phase_ = Phase::Quit;
}

void SampleGame::EndAbandonedSession() {
  if (phase_ != Phase::Playing || frame_ == 0) return;
  Tavi_Destroy();
  if (delivery_) delivery_->TakeQueued();
}

}  // namespace GameAssembly
