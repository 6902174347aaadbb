// Pages and frame navigation (Windows::UI::Xaml::Controls / Navigation).
#pragma once

#include <map>
#include <memory>

#include "platform/ui_element.h"
#include "platform/xaml_metadata.h"

namespace Windows::UI::Xaml::Navigation {

enum class NavigationCacheMode : std::int32_t { Disabled = 0, Required = 1, Enabled = 2 };
enum class NavigationMode : std::int32_t { New = 0, Back = 1, Forward = 2, Refresh = 3 };

class NavigationEventArgs : public virtual Platform::Object {
 public:
  NavigationEventArgs(Platform::ObjectRef content, Platform::ObjectRef parameter,
                      Windows::UI::Xaml::Interop::TypeName sourcePageType,
                      Navigation::NavigationMode mode)
      : content_(std::move(content)),
        parameter_(std::move(parameter)),
        sourcePageType_(std::move(sourcePageType)),
        mode_(mode) {}
  Platform::ObjectRef Content() const { return content_; }
  Platform::ObjectRef Parameter() const { return parameter_; }
  Windows::UI::Xaml::Interop::TypeName SourcePageType() const { return sourcePageType_; }
  Navigation::NavigationMode NavigationMode() const { return mode_; }

 private:
  Platform::ObjectRef content_;
  Platform::ObjectRef parameter_;
  Windows::UI::Xaml::Interop::TypeName sourcePageType_;
  Navigation::NavigationMode mode_;
};

}  // namespace Windows::UI::Xaml::Navigation

namespace Windows::UI::Xaml::Controls {

class Frame;

class Page : public FrameworkElement {
 public:
  std::shared_ptr<UIElement> Content() const { return content_; }
  void Content(std::shared_ptr<UIElement> content) { content_ = std::move(content); }
  Navigation::NavigationCacheMode NavigationCacheMode() const { return cacheMode_; }
  void NavigationCacheMode(Navigation::NavigationCacheMode mode) { cacheMode_ = mode; }
  Platform::String GetRuntimeClassName() const override { return u"Windows.UI.Xaml.Controls.Page"; }

 protected:
  virtual void OnNavigatedTo(std::shared_ptr<Navigation::NavigationEventArgs>) {}

 private:
  friend class Frame;
  std::shared_ptr<UIElement> content_;
  Navigation::NavigationCacheMode cacheMode_ = Navigation::NavigationCacheMode::Disabled;
};

// Shows pages. Navigate resolves the type through Application::Current taken
// as IXamlMetadataProvider and activates it through the type record, unless
// the frame has cached a page of that type (NavigationCacheMode Required or
// Enabled). The page becomes the frame's Content, then its OnNavigatedTo
// runs. A type the provider does not know gives false; a failure of the
// activation or of OnNavigatedTo is raised to the caller.
class Frame : public FrameworkElement {
 public:
  bool Navigate(const Windows::UI::Xaml::Interop::TypeName& sourcePageType);
  bool Navigate(const Windows::UI::Xaml::Interop::TypeName& sourcePageType,
                const Platform::ObjectRef& parameter);
  Platform::ObjectRef Content() const { return content_; }
  Platform::String GetRuntimeClassName() const override {
    return u"Windows.UI.Xaml.Controls.Frame";
  }

 private:
  std::shared_ptr<Page> PageFor(const Windows::UI::Xaml::Interop::TypeName& type);
  Platform::ObjectRef content_;
  std::map<Platform::String, std::shared_ptr<Page>> cache_;
};

}  // namespace Windows::UI::Xaml::Controls
