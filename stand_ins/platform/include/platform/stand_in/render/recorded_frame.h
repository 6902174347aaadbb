// A frame a renderer presents into a SwapChainPanel (the engine's player
// does), drawn with cairo: the drawing is recorded, not rasterised, so
// presenting costs little and the picture is painted only if somebody
// writes it out (FrameWriter).
#pragma once

#include <cairo.h>

#include <functional>
#include <memory>

#include "platform/stand_in/composition.h"

namespace Platform::Render {

class RecordedFrame : public PresentedFrame {
 public:
  // Records what `draw` paints on a width x height canvas (origin at the
  // top left, one unit a pixel). Null when `draw` answers false (nothing
  // new to show) or the recording fails.
  static std::shared_ptr<const RecordedFrame> Record(int width, int height,
                                                     const std::function<bool(cairo_t*)>& draw);
  ~RecordedFrame() override;
  RecordedFrame(const RecordedFrame&) = delete;
  RecordedFrame& operator=(const RecordedFrame&) = delete;

  // The recording: a cairo source to paint at the panel's origin.
  cairo_surface_t* Surface() const { return surface_; }

 private:
  explicit RecordedFrame(cairo_surface_t* surface) : surface_(surface) {}
  cairo_surface_t* surface_;
};

}  // namespace Platform::Render
