// Corvane::App, the application object: creates the engine's player, turns
// every activation into the player's argument string and sets up the window
// (ActivateHost). It answers the XAML runtime's type questions through its
// own XAML type provider, so the frame's navigation to "Corvane.MainPage"
// activates the page through the type table.
#pragma once

#include <memory>

#include "engine_player/app_callbacks.h"
#include "module/module.h"
#include "platform/application.h"
#include "platform/xaml_metadata.h"
#include "xaml/xaml_metadata_owner.h"

namespace Corvane {

class App : public Windows::UI::Xaml::Application,
            public virtual Windows::UI::Xaml::Markup::IXamlMetadataProvider {
 public:
  // Sets the display orientation and launch-mode preferences, then creates
  // the player "EnginePlayer.AppCallbacks" (a missing player raises).
  App();

  std::shared_ptr<Windows::UI::Xaml::Markup::IXamlType> GetXamlType(
      const Windows::UI::Xaml::Interop::TypeName& type) override;
  std::shared_ptr<Windows::UI::Xaml::Markup::IXamlType> GetXamlType(
      const Platform::String& fullName) override;
  std::vector<Windows::UI::Xaml::Markup::XmlnsDefinition> GetXmlnsDefinitions() override;
  Platform::String GetRuntimeClassName() const override { return u"Corvane.App"; }

  // The splash screen of the last launch, file or protocol activation (null
  // before one); the main page reads it when it is built.
  std::shared_ptr<Windows::ApplicationModel::Activation::SplashScreen> GetSplashScreen() const {
    return splashScreen;
  }

  // The type provider behind GetXamlType, or null before the first question.
  std::shared_ptr<XamlTypeInfo::InfoProvider::XamlTypeInfoProvider> TypeInfoProvider() const {
    return provider.Provider();
  }

 protected:
  void OnLaunched(std::shared_ptr<Windows::ApplicationModel::Activation::LaunchActivatedEventArgs>
                      args) override;
  void OnActivated(
      std::shared_ptr<Windows::ApplicationModel::Activation::IActivatedEventArgs> args) override;
  void OnFileActivated(
      std::shared_ptr<Windows::ApplicationModel::Activation::FileActivatedEventArgs> args) override;

 private:
  // The set-up every activation shares: hands `arguments` to the player,
  // builds the frame and the main page on the first activation, activates
  // the window and registers the title callback with GameAssembly.
  void ActivateHost(const Platform::String& arguments);

  std::shared_ptr<EnginePlayer::AppCallbacks> player;
  std::shared_ptr<Windows::ApplicationModel::Activation::SplashScreen> splashScreen;
  XamlMetadataOwner provider;
  ModuleObjectCount counted;
};

}  // namespace Corvane
