#include "frame_presenter.h"

#include <cmath>

#include "game_assembly.h"
#include "platform/stand_in/composition.h"
#include "platform/stand_in/render/recorded_frame.h"

namespace EnginePlayer {

void FramePresenter::operator()() const {
  if (!Platform::Composition::Observed()) return;
  auto panel = panel_.lock();
  if (!panel || !window_) return;
  const auto bounds = window_->Bounds();
  const int width = static_cast<int>(std::lround(bounds.Width));
  const int height = static_cast<int>(std::lround(bounds.Height));
  auto frame = Platform::Render::RecordedFrame::Record(
      width, height, [&](cairo_t* cr) { return GameAssembly_DrawFrame(cr, width, height) != 0; });
  if (frame) panel->Present(std::move(frame));
}

}  // namespace EnginePlayer
