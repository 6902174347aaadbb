// The window title bridge: the callback the game code calls to set the
// main window's title, and the main window's view it writes to.
#pragma once

#include <memory>

#include "platform/view.h"

namespace Corvane {

// U+1F6E9, placed directly before the game's text.
inline constexpr char16_t kTitlePrefix[] = u"\U0001F6E9";

// The main window's ApplicationView: fetched by the first call (which must
// come from the UI thread; ActivateHost makes it), then kept for the life of
// the process. A failed fetch is retried by the next call.
std::shared_ptr<Windows::UI::ViewManagement::ApplicationView> CachedView();

// Sets the title to the prefix followed by `text` decoded as UTF-8 (invalid
// sequences become U+FFFD; null reads as the empty text). Runs on the
// caller's thread. Called from C code, so nothing may unwind out of it: on
// any failure the title stays as it was.
void HeaderUpdateCallback(const char* text) noexcept;

}  // namespace Corvane
