// How corvane prints the platform trace: one JSON object per line. The
// splash screen's elements, found by the connection the page made to them
// (whatever their x:Name), are reported under their own events:
// "splash.image" for the placement of the splash image (connection 4),
// "splash.background" for the brush of the splash container (connection 3)
// and "splash.removed" when the container leaves its panel, each with the
// recorded "ms" and "thread". Every other event is printed as recorded.
#pragma once

#include <string>

#include "platform/stand_in/trace.h"

namespace Corvane {

Platform::Trace::Event PresentTraceEvent(const Platform::Trace::Event& event);

}  // namespace Corvane
