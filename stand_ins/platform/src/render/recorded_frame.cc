#include "platform/stand_in/render/recorded_frame.h"

namespace Platform::Render {

std::shared_ptr<const RecordedFrame> RecordedFrame::Record(
    int width, int height, const std::function<bool(cairo_t*)>& draw) {
  const cairo_rectangle_t extents{0, 0, static_cast<double>(width), static_cast<double>(height)};
  cairo_surface_t* surface = cairo_recording_surface_create(CAIRO_CONTENT_COLOR_ALPHA, &extents);
  cairo_t* cr = cairo_create(surface);
  const bool drawn = draw(cr) && cairo_status(cr) == CAIRO_STATUS_SUCCESS;
  cairo_destroy(cr);  // no more drawing: from here on the recording is only read
  if (!drawn || cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(surface);
    return nullptr;
  }
  return std::shared_ptr<const RecordedFrame>(new RecordedFrame(surface));
}

RecordedFrame::~RecordedFrame() { cairo_surface_destroy(surface_); }

}  // namespace Platform::Render
