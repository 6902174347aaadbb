// Corvane::MainPage, the host's only page: for now a placeholder that hands
// the window to the player so that rendering starts.
#pragma once

#include "platform/page.h"

namespace Corvane {

class MainPage : public Windows::UI::Xaml::Controls::Page {
 public:
  MainPage();
  Platform::String GetRuntimeClassName() const override { return u"Corvane.MainPage"; }
};

}  // namespace Corvane
