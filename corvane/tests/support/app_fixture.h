// The fixture of every test that runs the host's application: Corvane::App
// on the test thread with the real player (its rendering held, so the game
// does not run), the title-callback registrations recorded instead of
// reaching GameAssembly, and a scratch package folder holding the sample
// package's markup (no manifest until a test writes one), which is also the
// current folder.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/app.h"
#include "engine_player/app_callbacks.h"
#include "module/game_assembly_imports.h"
#include "page/main_page.h"
#include "platform/page.h"
#include "platform/stand_in/stand_in.h"
#include "platform/stand_in/trace.h"
#include "platform/window.h"
#include "support/scratch_folder.h"

namespace CorvaneTest {

inline std::vector<Corvane::HeaderUpdateCallbackFunction>& Registrations() {
  static std::vector<Corvane::HeaderUpdateCallbackFunction> registrations;
  return registrations;
}

inline void RecordRegistration(Corvane::HeaderUpdateCallbackFunction callback) {
  Registrations().push_back(callback);
}

// A scratch folder used as the package: "ms-appx:///" names it and it is the
// current folder for as long as it exists.
class PackageFolder {
 public:
  PackageFolder() : current_(folder_.Path()), previous_(Platform::StandIn::PackageFolder()) {
    std::filesystem::copy_file(std::string(CORVANE_SOURCE_DIR) + "/package/MainPage.xaml",
                               folder_.Path() / "MainPage.xaml");
    Platform::StandIn::SetPackageFolder(folder_.Path().string());
  }
  ~PackageFolder() { Platform::StandIn::SetPackageFolder(previous_); }

  void Write(const std::string& name, const std::string& content) const {
    folder_.Write(name, content);
  }
  void Remove(const std::string& name) const { folder_.Remove(name); }

  // A manifest whose splash screen declares `value` as its colour.
  void WriteManifest(const std::string& value) const {
    Write("AppxManifest.xml",
          "<Package><uap:SplashScreen Image=\"Assets\\SplashScreen.png\" BackgroundColor=\"" +
              value + "\" /></Package>");
  }

 private:
  ScratchFolder folder_;
  CurrentFolder current_;  // ends before the folder is removed
  std::string previous_;
};

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
    Platform::StandIn::Reset();  // stops the game thread before the hold is lifted
    EnginePlayer::AppCallbacks::HoldRendering(false);
  }

  // Makes the calling thread the UI thread and creates the application,
  // without delivering an activation.
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

  // Starts the application, launches it with `splash` and runs the loop
  // until idle (the manifest read and its colour included); answers the
  // page shown.
  std::shared_ptr<Corvane::MainPage> LaunchPage(
      std::shared_ptr<Windows::ApplicationModel::Activation::SplashScreen> splash =
          Platform::ref_new<Windows::ApplicationModel::Activation::SplashScreen>()) {
    StartApp();
    Deliver(Platform::ref_new<Windows::ApplicationModel::Activation::LaunchActivatedEventArgs>(
        u"", splash));
    return ShownPage();
  }

  // The main page the window's frame shows, or null.
  static std::shared_ptr<Corvane::MainPage> ShownPage() {
    auto frame = Platform::try_cast<Windows::UI::Xaml::Controls::Frame>(
        Windows::UI::Xaml::Window::Current()->Content());
    return frame ? Platform::try_cast<Corvane::MainPage>(frame->Content()) : nullptr;
  }

  // The "value" of every recorded `event`, in order.
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

  PackageFolder package;

 private:
  void (*savedRegistration_)(Corvane::HeaderUpdateCallbackFunction) = nullptr;
};

}  // namespace CorvaneTest
