// Process-wide state of the application model (internal to the stand-in).
#pragma once

namespace Platform::Internal {

// Drops Application::Current.
void ReleaseApplication();
// Drops the main window's content (the frame and its pages).
void ReleaseWindowContent();

// The user closes the main window (any thread): the application's loop
// stops and its end begins with "window.closed".
void CloseMainWindow();
void ForgetWindowClose();

// The application's end, on the UI thread once its loop has stopped:
// "window.closed" when the user closed the window, the core window's Closed event (the engine stops
// its threads), the pool's running items finish and its unstarted ones are dropped, the window's
// content and the application are released, the handlers still queued are
// dropped ("application.dropped" counts what was dropped, if anything), a
// composition observer finishes its work, and "application.exit" is
// recorded as the trace's last line.
void EndApplication();

}  // namespace Platform::Internal
