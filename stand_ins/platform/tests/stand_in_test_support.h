// Shared pieces of the stand-in's tests: a fixture that starts a test
// application on the test thread and resets the stand-in afterwards.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/application.h"
#include "platform/stand_in/stand_in.h"
#include "platform/stand_in/trace.h"

namespace StandInTest {

// Records which override each activation reached.
class RecordingApp : public Windows::UI::Xaml::Application {
 public:
  std::vector<std::string> calls;
  std::function<void()> onLaunched;

 protected:
  void OnLaunched(std::shared_ptr<Windows::ApplicationModel::Activation::LaunchActivatedEventArgs>
                      args) override {
    calls.push_back("launched");
    if (args->Arguments() == u"fail") throw Platform::InvalidCastException(u"refused");
    if (onLaunched) onLaunched();
  }
  void OnActivated(
      std::shared_ptr<Windows::ApplicationModel::Activation::IActivatedEventArgs>) override {
    calls.push_back("activated");
  }
  void OnFileActivated(
      std::shared_ptr<Windows::ApplicationModel::Activation::FileActivatedEventArgs>) override {
    calls.push_back("file");
  }
};

class Fixture : public ::testing::Test {
 protected:
  void TearDown() override { Platform::StandIn::Reset(); }

  template <class App = RecordingApp>
  std::shared_ptr<App> StartApp() {
    std::shared_ptr<App> app;
    Platform::StandIn::StartApplication([&](auto) { app = Platform::ref_new<App>(); });
    return app;
  }

  static std::vector<std::string> EventNames() {
    std::vector<std::string> names;
    for (auto& event : Platform::Trace::Events()) names.push_back(event["event"]);
    return names;
  }
};

}  // namespace StandInTest
