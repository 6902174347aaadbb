// The process's one main window, reachable from any thread inside the stand-in.
#pragma once

#include <memory>

#include "platform/window.h"

namespace Platform::Internal {

std::shared_ptr<Windows::UI::Xaml::Window> MainWindow();

}  // namespace Platform::Internal
