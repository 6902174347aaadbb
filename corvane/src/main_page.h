// Corvane::MainPage, the host's only page. For now a placeholder: it hands
// the window to the player so that rendering starts; the markup and the
// extended splash screen come later.
#pragma once

#include "platform/page.h"

namespace Corvane {

class MainPage : public Windows::UI::Xaml::Controls::Page {
 public:
  MainPage();
  Platform::String GetRuntimeClassName() const override { return u"Corvane.MainPage"; }
};

}  // namespace Corvane
