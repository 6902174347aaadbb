// A running Corvane::App on the test thread, with the real player (its
// rendering held, so the game does not run) and the title-callback
// registration recorded instead of reaching GameAssembly.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/app.h"
#include "engine_player/app_callbacks.h"
#include "module/game_assembly_imports.h"
#include "platform/stand_in.h"
#include "platform/trace.h"

namespace CorvaneTest {

inline std::vector<Corvane::HeaderUpdateCallbackFunction>& Registrations() {
  static std::vector<Corvane::HeaderUpdateCallbackFunction> registrations;
  return registrations;
}

inline void RecordRegistration(Corvane::HeaderUpdateCallbackFunction callback) {
  Registrations().push_back(callback);
}

class AppFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    EnginePlayer::RegisterAppCallbacks();
    EnginePlayer::AppCallbacks::HoldRendering(true);
    savedRegistration_ = Corvane::GameAssembly().SetHeaderUpdateCallback;
    Corvane::GameAssembly().SetHeaderUpdateCallback = &RecordRegistration;
    Registrations().clear();
  }
  void TearDown() override {
    Corvane::GameAssembly().SetHeaderUpdateCallback = savedRegistration_;
    EnginePlayer::AppCallbacks::HoldRendering(false);
    Platform::StandIn::Reset();
  }

  std::shared_ptr<Corvane::App> StartApp() {
    std::shared_ptr<Corvane::App> app;
    Platform::StandIn::StartApplication([&](auto) { app = Platform::ref_new<Corvane::App>(); });
    return app;
  }

  // Delivers the activation and runs the UI loop until it is idle.
  static void Deliver(
      std::shared_ptr<Windows::ApplicationModel::Activation::IActivatedEventArgs> args) {
    Platform::StandIn::Activate(std::move(args));
    Platform::StandIn::RunUntilIdle();
  }

  static std::vector<std::string> Values(const std::string& event) {
    std::vector<std::string> values;
    for (auto& recorded : Platform::Trace::EventsNamed(event)) values.push_back(recorded["value"]);
    return values;
  }

  static std::vector<std::string> EventNames() {
    std::vector<std::string> names;
    for (auto& event : Platform::Trace::Events()) names.push_back(event["event"]);
    return names;
  }

 private:
  void (*savedRegistration_)(Corvane::HeaderUpdateCallbackFunction) = nullptr;
};

}  // namespace CorvaneTest
