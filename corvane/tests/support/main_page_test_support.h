// A running Corvane::App whose package is a scratch folder: the sample
// package's markup by default, with the manifest and markup a test writes.
// The folder is also the current folder, where the page reads the manifest.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>

#include "page/main_page.h"
#include "platform/page.h"
#include "platform/window.h"
#include "support/app_test_support.h"

namespace CorvaneTest {

class PackageFolder {
 public:
  PackageFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "corvane-page-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot make a scratch package folder");
    folder_ = pattern;
    std::filesystem::copy_file(std::string(CORVANE_SOURCE_DIR) + "/package/MainPage.xaml",
                               folder_ / "MainPage.xaml");
    previous_ = std::filesystem::current_path();
    std::filesystem::current_path(folder_);
    Platform::StandIn::SetPackageFolder(folder_.string());
  }
  ~PackageFolder() {
    std::error_code ignored;
    std::filesystem::current_path(previous_, ignored);
    std::filesystem::remove_all(folder_, ignored);
  }
  PackageFolder(const PackageFolder&) = delete;
  PackageFolder& operator=(const PackageFolder&) = delete;

  void Write(const std::string& name, const std::string& content) const {
    std::ofstream(folder_ / name, std::ios::binary) << content;
  }
  void Remove(const std::string& name) const { std::filesystem::remove(folder_ / name); }

  // A manifest whose splash screen declares `value` as its colour.
  void WriteManifest(const std::string& value) const {
    Write("AppxManifest.xml",
          "<Package><uap:SplashScreen Image=\"Assets\\SplashScreen.png\" BackgroundColor=\"" +
              value + "\" /></Package>");
  }

 private:
  std::filesystem::path folder_;
  std::filesystem::path previous_;
};

class PageFixture : public AppFixture {
 protected:
  // The main page the window's frame shows, or null.
  static std::shared_ptr<Corvane::MainPage> ShownPage() {
    auto frame = Platform::try_cast<Windows::UI::Xaml::Controls::Frame>(
        Windows::UI::Xaml::Window::Current()->Content());
    return frame ? Platform::try_cast<Corvane::MainPage>(frame->Content()) : nullptr;
  }

  // Starts the application, launches it with `splash` and runs the loop
  // until idle (the manifest read and its colour included).
  std::shared_ptr<Corvane::MainPage> LaunchPage(
      std::shared_ptr<Windows::ApplicationModel::Activation::SplashScreen> splash =
          Platform::ref_new<Windows::ApplicationModel::Activation::SplashScreen>()) {
    StartApp();
    Deliver(Platform::ref_new<Windows::ApplicationModel::Activation::LaunchActivatedEventArgs>(
        u"", splash));
    return ShownPage();
  }

  PackageFolder package;
};

}  // namespace CorvaneTest
