// A running Corvane::App on the calling thread, for tests that make main
// pages themselves (through the type table or the page's factory): the page
// is built on the UI thread, with the application's player (its rendering
// held) and the sample package the build places beside the tests.
#pragma once

#include "app/app.h"
#include "engine_player/app_callbacks.h"
#include "platform/stand_in.h"

namespace CorvaneTest {

class RunningApp {
 public:
  RunningApp() {
    EnginePlayer::RegisterAppCallbacks();
    EnginePlayer::AppCallbacks::HoldRendering(true);
    Platform::StandIn::StartApplication([](auto) { Platform::ref_new<Corvane::App>(); });
  }
  ~RunningApp() {
    EnginePlayer::AppCallbacks::HoldRendering(false);
    Platform::StandIn::Reset();
  }
  RunningApp(const RunningApp&) = delete;
  RunningApp& operator=(const RunningApp&) = delete;
};

}  // namespace CorvaneTest
