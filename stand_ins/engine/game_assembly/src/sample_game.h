// The sample game: sets the window title and plays a short analytics session
// (sample_game_session.cc), one frame at a time. Every frame calls
// Tavi_Update and hands the requests Ostrel queued to the RequestDelivery.
// After the session's last step it takes the requests Tavi_Destroy left,
// then keeps running frames until the collector (if any) has them all, or
// the quit wait has passed, or the player's consent keeps them from being
// sent, and quits; what is left stays in the outbox for the next run.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "request_delivery.h"

namespace GameAssembly {

class SampleGame {
 public:
  // The longest the game waits for its last requests to be delivered;
  // SAMPLE_GAME_QUIT_WAIT_MS sets another: 0 to 3600000 ms.
  static constexpr std::chrono::seconds kQuitWait{10};

  // Throws std::invalid_argument, naming the variable and the value, when
  // a variable of the game holds a value it cannot use.
  static void CheckEnvironment();

  static SampleGame& Instance();

  // The collector the game sends to from the next Start, through the outbox
  // in `outboxFolder`; an empty url: none. Throws std::invalid_argument
  // (keeping the earlier setting) for an unusable address or, with a
  // collector, an empty folder name.
  void SetCollector(const std::string& url, const std::string& outboxFolder);

  // The player's consent from the next Start: "given", "denied" or
  // "pending" (see RequestDelivery). Throws std::invalid_argument for any
  // other text, keeping the earlier setting.
  void SetConsent(const std::string& state);

  // Requests the last run that quit did not deliver: kept in the outbox
  // for a later run, or lost because they could not be stored.
  std::int64_t RequestsNotDelivered();

  // (Re)starts the game from its first frame; a session still open is
  // closed first and its requests taken. Start and RunFrame are the game
  // thread's: called by one thread at a time, and they hold no lock while
  // they call the delivery library.
  void Start();

  // Plays the next frame; true once the game has quit.
  bool RunFrame();

  // Quits at once (the window closed): a session still open is ended
  // through Ostrel and the requests it left taken, then the outbox is
  // closed, waiting at most the quit wait for the last requests. Nothing
  // when the game has quit or never played. Called once the game thread
  // has stopped (it touches the game thread's state), holding no lock.
  void QuitNow();

 private:
  enum class Phase { Playing, Quitting, Quit };

  void PlaySessionFrame();
  void WaitForDelivery();
  void EndAbandonedSession();
  void Quit();

  std::unique_ptr<RequestDelivery> NewDelivery();

  std::mutex settingsMutex_;  // the settings and the result, shared with other threads
  std::string collectorUrl_;
  std::string outboxFolder_;
  PlayerConsent consent_ = PlayerConsent::Given;
  std::int64_t notDelivered_ = 0;

  // The game thread's own.
  std::unique_ptr<RequestDelivery> delivery_;
  Phase phase_ = Phase::Playing;
  int frame_ = 0;
  std::chrono::steady_clock::time_point quitDeadline_;
};

}  // namespace GameAssembly
