#include "platform/page.h"

#include "platform/application.h"
#include "platform/stand_in/trace.h"
#include "platform/strings.h"

namespace Windows::UI::Xaml::Controls {

bool Frame::Navigate(const Interop::TypeName& sourcePageType) {
  return Navigate(sourcePageType, nullptr);
}

bool Frame::Navigate(const Interop::TypeName& sourcePageType,
                     const Platform::ObjectRef& parameter) {
  auto page = PageFor(sourcePageType);
  if (!page) {
    Platform::Trace::Record("frame.navigationfailed",
                            {{"page", Platform::ToUtf8(sourcePageType.Name)}});
    return false;
  }
  content_ = page;
  Platform::Trace::Record("frame.navigated", {{"page", Platform::ToUtf8(sourcePageType.Name)}});
  page->OnNavigatedTo(Platform::ref_new<Navigation::NavigationEventArgs>(
      page, parameter, sourcePageType, Navigation::NavigationMode::New));
  return true;
}

// The cached page of the type, or a new one activated through the
// application's metadata provider; null when the provider has no such type.
std::shared_ptr<Page> Frame::PageFor(const Interop::TypeName& type) {
  auto cached = cache_.find(type.Name);
  if (cached != cache_.end()) return cached->second;
  auto provider = Platform::safe_cast<Markup::IXamlMetadataProvider>(
      Platform::ObjectRef(Application::Current()));
  if (!provider) throw Platform::NullReferenceException(u"no application to resolve " + type.Name);
  auto xamlType = provider->GetXamlType(type);
  if (!xamlType) return nullptr;
  auto page = Platform::safe_cast<Page>(xamlType->ActivateInstance());
  if (!page)
    throw Platform::NullReferenceException(u"activation of " + type.Name + u" gave no page");
  if (page->NavigationCacheMode() != Navigation::NavigationCacheMode::Disabled)
    cache_[type.Name] = page;
  return page;
}

}  // namespace Windows::UI::Xaml::Controls
