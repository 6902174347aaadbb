#include "sample_game.h"

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <stdexcept>

#include "game_screen.h"
#include "ostrel.h"
#include "sample_game_session.h"

namespace GameAssembly {
namespace {
// About one frame at 60 frames per second.
constexpr std::chrono::milliseconds kFrameWait{16};

constexpr const char* kQuitWaitVariable = "SAMPLE_GAME_QUIT_WAIT_MS";
constexpr long long kLongestQuitWait = 3600000;  // an hour

// The quit wait SAMPLE_GAME_QUIT_WAIT_MS sets: unset or empty, the default;
// else a whole number of milliseconds from 0 to an hour, in decimal digits.
// Nothing, with the reason, for any other value.
std::optional<std::chrono::milliseconds> QuitWait(std::string* reason) {
  const char* wait = std::getenv(kQuitWaitVariable);
  if (wait == nullptr || *wait == '\0') return SampleGame::kQuitWait;
  const std::string text = wait;
  const bool digits = text.size() <= 7 && text.find_first_not_of("0123456789") == std::string::npos;
  if (!digits || std::stoll(text) > kLongestQuitWait) {
    if (reason) {
      *reason = std::string(kQuitWaitVariable) +
                " needs a whole number of milliseconds from 0 to " +
                std::to_string(kLongestQuitWait) + ", not \"" + text + "\"";
    }
    return std::nullopt;
  }
  return std::chrono::milliseconds(std::stoll(text));
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

void SampleGame::SetConsent(const std::string& state) {
  const std::optional<PlayerConsent> consent = PlayerConsentNamed(state);
  if (!consent) {
    throw std::invalid_argument("consent is given, denied or pending, not \"" + state + "\"");
  }
  std::lock_guard<std::mutex> lock(settingsMutex_);
  consent_ = *consent;
}

std::int64_t SampleGame::RequestsNotDelivered() {
  std::lock_guard<std::mutex> lock(settingsMutex_);
  return notDelivered_;
}

void SampleGame::CheckEnvironment() {
  std::string reason;
  if (!QuitWait(&reason)) throw std::invalid_argument(reason);
}

void SampleGame::QuitNow() {
  if (phase_ == Phase::Quit || !delivery_) return;
  auto wait = QuitWait(nullptr).value_or(kQuitWait);
  if (phase_ == Phase::Playing && frame_ > 0) {
    Tavi_Destroy();
    delivery_->TakeQueued();
  } else if (phase_ == Phase::Quitting) {  // what is left of the wait begun
    wait = std::max(std::chrono::milliseconds(0),
                    std::chrono::duration_cast<std::chrono::milliseconds>(
                        quitDeadline_ - std::chrono::steady_clock::now()));
  }
  const std::int64_t notDelivered = delivery_->Finish(wait);
  delivery_.reset();
  {
    std::lock_guard<std::mutex> lock(settingsMutex_);
    notDelivered_ = notDelivered;
  }
  phase_ = Phase::Quit;
}

std::unique_ptr<RequestDelivery> SampleGame::NewDelivery() {
  std::string url, folder;
  PlayerConsent consent;
  {
    std::lock_guard<std::mutex> lock(settingsMutex_);
    url = collectorUrl_;
    folder = outboxFolder_;
    consent = consent_;
  }
  return std::make_unique<RequestDelivery>(url, folder, consent);
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
    quitDeadline_ = std::chrono::steady_clock::now() + QuitWait(nullptr).value_or(kQuitWait);
  }
}

// Waits at most one frame's time per frame, so the frames keep their pace;
// nothing is waited for while the player's consent holds the requests.
void SampleGame::WaitForDelivery() {
  if (delivery_->Delivered(kFrameWait) || delivery_->HeldForConsent() ||
      std::chrono::steady_clock::now() >= quitDeadline_) {
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
