// A game session as the benchmarks play it: a context of realistic values
// (about 20 characters each) and the thirty events of one flush, played
// either through the C interface of libostrel.so or on the library's classes.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "event_serializer.h"
#include "game_events.h"
#include "services_client.h"

namespace GameSession {

inline constexpr const char* kProjectId = "project-7c1e9d3b2a4f";
inline constexpr int kEventsPerFlush = 30;

// Both players of the same session record the same events with the same
// values, in this order: ten events, three times.
template <typename Player>
void PlayThirtyEvents(Player& player) {
  for (int round = 0; round < 3; ++round) {
    player.LevelUp(10 + round);
    player.StartLoading();
    player.FinishLoading();
    player.Purchase();
    player.LevelUp(11 + round);
    player.TutorialStart();
    player.TutorialFinish();
    player.Purchase();
    player.LevelUp(12 + round);
    player.Custom();
  }
}

// Through the exports: Tavi_Init, the setters, the session start flushed
// and taken away, so that the buffer starts empty.
class ExportsPlayer {
 public:
  // Tavi_Init and the setters of the session; with `flushStart`, also the
  // first Tavi_Update, whose request is taken away.
  static void StartSession(bool flushStart);

  ExportsPlayer();
  ~ExportsPlayer();
  void LevelUp(int level);
  void StartLoading();
  void FinishLoading();
  void TutorialStart();
  void TutorialFinish();
  void Purchase();
  void Custom();
  // Takes every queued message through the C interface and releases it;
  // returns the bytes taken.
  static std::size_t TakeMessages();
};

// On the library's classes, with any HTTP client.
class CorePlayer {
 public:
  explicit CorePlayer(TaviServices::HttpClient* client);
  void LevelUp(int level);
  void StartLoading();
  void FinishLoading();
  void TutorialStart();
  void TutorialFinish();
  void Purchase();
  void Custom();
  ServicesClient& Services() { return *services; }

 private:
  std::unique_ptr<ServicesClient> services;
};

// The thirty events of one flush, buffered and not flushed, with the URL
// and header lines of their upload.
struct BufferedFlush {
  BufferedFlush();
  Ostrel::EventBatch Events();

  CorePlayer player;
  std::string url;
  std::vector<std::string> headers;
};

// The message text handed to a C caller: a malloc'ed copy, released again.
std::size_t TakeAsCText(const std::string& message);

}  // namespace GameSession
