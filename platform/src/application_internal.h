// Process-wide state of the application model (internal to the stand-in).
#pragma once

namespace Platform::Internal {

// Drops Application::Current.
void ReleaseApplication();
// Drops the main window's content (the frame and its pages).
void ReleaseWindowContent();

}  // namespace Platform::Internal
