#include "app/title_bridge.h"

#include "platform/strings.h"

namespace Corvane {

std::shared_ptr<Windows::UI::ViewManagement::ApplicationView> CachedView() {
  static const auto view = Windows::UI::ViewManagement::ApplicationView::GetForCurrentView();
  return view;
}

void HeaderUpdateCallback(const char* text) noexcept {
  Platform::CallBoundary([text] {
    Platform::String title = kTitlePrefix;
    if (text) title += Platform::FromUtf8(text);
    CachedView()->Title(title);
  });
}

}  // namespace Corvane
