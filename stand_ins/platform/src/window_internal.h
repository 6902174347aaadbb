// The process's one main window, reachable from any thread inside the stand-in.
#pragma once

#include <memory>

#include "platform/window.h"

namespace Platform::Internal {

std::shared_ptr<Windows::UI::Xaml::Window> MainWindow();

// The display the main window is shown on; a full-screen window takes its size.
inline constexpr Windows::Foundation::Size kDisplaySize{1920, 1080};

}  // namespace Platform::Internal
