// Creation of a new Corvane::MainPage with its parameterless constructor:
// the activator of the page's XAML type record and of its activation factory.
#pragma once

#include "platform/runtime.h"

namespace Corvane {

Platform::ObjectRef ActivateMainPage();

}  // namespace Corvane
