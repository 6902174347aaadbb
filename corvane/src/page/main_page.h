// Corvane::MainPage, the host's only page. It loads its markup
// ("ms-appx:///MainPage.xaml"), hands the render panel and the window to the
// engine's player and shows the extended splash screen: the splash image
// placed where the system splash screen showed it, on a container painted in
// the splash colour found by a byte search of the manifest (not an XML
// reading: the rules are in page/manifest_splash_color.h), until the player
// reports that rendering has started.
#pragma once

#include <memory>

#include "module/module.h"
#include "page/manifest_splash_color.h"
#include "platform/activation.h"
#include "platform/controls.h"
#include "platform/event.h"
#include "platform/markup.h"
#include "platform/page.h"

namespace Corvane {

class MainPage : public Windows::UI::Xaml::Controls::Page,
                 public virtual Windows::UI::Xaml::Markup::IComponentConnector,
                 public virtual Windows::UI::Xaml::Markup::IComponentConnector2 {
 public:
  MainPage() = default;
  // Removes the subscriptions that are still registered.
  ~MainPage() override;

  // The construction steps that need references to the page (run by
  // Platform::ref_new): markup, player hand-over, splash placement, colour
  // read and size subscription. A failure leaves no page; markup the page
  // cannot use is a failure too: connections 2, 3 and 4 must all be made,
  // the splash container (3) a child of the render panel (2), the splash
  // image (4) inside the container.
  void FinishConstruction();

  // Loads the markup once; the flag is set first, so a failed load is not
  // retried.
  void LoadPageMarkup();

  // Stores the element of connection 2, 3 or 4; other ids store nothing.
  // Every call marks the content as loaded.
  void Connect(int connectionId, Platform::ObjectRef target) override;
  std::shared_ptr<Windows::UI::Xaml::Markup::IComponentConnector> GetBindingConnector(
      int connectionId, Platform::ObjectRef target) override;

  Platform::String GetRuntimeClassName() const override { return u"Corvane.MainPage"; }

  // Read-only views of the page's state.
  bool ContentLoaded() const { return contentLoaded; }
  std::shared_ptr<Windows::UI::Xaml::Controls::SwapChainPanel> RenderPanel() const {
    return renderPanel;
  }
  std::shared_ptr<Windows::UI::Xaml::Controls::Panel> SplashContainer() const {
    return splashContainer;
  }
  std::shared_ptr<Windows::UI::Xaml::FrameworkElement> SplashImage() const { return splashImage; }
  std::shared_ptr<Windows::ApplicationModel::Activation::SplashScreen> CurrentSplashScreen() const {
    return splashScreen;
  }
  Windows::Foundation::EventRegistrationToken RenderingStartedToken() const {
    return renderingStartedToken;
  }
  Windows::Foundation::EventRegistrationToken SizeChangedToken() const { return sizeChangedToken; }

 protected:
  // A SplashScreen parameter replaces the page's splash screen and moves the
  // image; without a parameter the constructor's splash screen stays.
  void OnNavigatedTo(
      std::shared_ptr<Windows::UI::Xaml::Navigation::NavigationEventArgs> e) override;

 private:
  void RequireConnectedElements() const;
  void SubscribeToRenderingStarted();
  void StartSplashColorRead();
  void SubscribeToSizeChanges();
  void RefreshSplashPlacement();
  void PositionSplashImage();
  void HandleRenderingStarted();
  void ApplySplashColor(const SplashColor& color);

  ModuleObjectCount counted;
  bool contentLoaded = false;
  std::shared_ptr<Windows::UI::Xaml::Controls::SwapChainPanel> renderPanel;
  std::shared_ptr<Windows::UI::Xaml::Controls::Panel> splashContainer;
  std::shared_ptr<Windows::UI::Xaml::FrameworkElement> splashImage;
  std::shared_ptr<Windows::ApplicationModel::Activation::SplashScreen> splashScreen;
  Windows::Foundation::Rect splashImageRect;
  Windows::Foundation::EventRegistrationToken renderingStartedToken;
  Windows::Foundation::EventRegistrationToken sizeChangedToken;
};

}  // namespace Corvane
