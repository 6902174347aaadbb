// The sample game: sets the window title and plays a short analytics session
// (sample_game_session.cc), one frame at a time. Every frame calls
// Tavi_Update and hands the requests Ostrel queued to the RequestOutbox.
// After the session's last step it takes the requests Tavi_Destroy left,
// then keeps running frames until the collector (if any) has them all, or
// kQuitWait has passed, and quits.
#pragma once

#include <chrono>
#include <memory>
#include <mutex>
#include <string>

#include "request_outbox.h"

namespace GameAssembly {

class SampleGame {
 public:
  // The longest the game waits for its last requests to be delivered.
  static constexpr std::chrono::seconds kQuitWait{10};

  static SampleGame& Instance();

  // The collector the game sends to from the next Start; empty: none. Throws
  // Delivery::InvalidCollectorUrl (keeping the earlier setting) for an
  // unusable address.
  void SetCollector(const std::string& url);

  // (Re)starts the game from its first frame; a session still open is
  // closed first and its requests taken.
  void Start();

  // Plays the next frame; true once the game has quit.
  bool RunFrame();

 private:
  enum class Phase { Playing, Quitting, Quit };

  void PlaySessionFrame();
  void WaitForDelivery();
  void EndAbandonedSession();

  std::mutex mutex_;
  std::string collectorUrl_;
  std::unique_ptr<RequestOutbox> outbox_;
  Phase phase_ = Phase::Playing;
  int frame_ = 0;
  std::chrono::steady_clock::time_point quitDeadline_;
};

}  // namespace GameAssembly
