// How corvane prints the platform trace: one JSON object per line. The
// splash screen's elements (named in MainPage.xaml) are reported under
// their own events: "splash.image" for the placement of splashImage,
// "splash.background" for the brush of splashContainer and "splash.removed"
// when splashContainer leaves its panel, each with the recorded "ms" and
// "thread". Every other event is printed as recorded.
#pragma once

#include <string>

#include "platform/stand_in/trace.h"

namespace Corvane {

Platform::Trace::Event PresentTraceEvent(const Platform::Trace::Event& event);

}  // namespace Corvane
