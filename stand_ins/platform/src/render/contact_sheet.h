// The run on one picture: every frame written, small, in order, each
// labelled with its number, the "ms" at which the window showed it and the
// window's title at that moment (text set with Pango).
#pragma once

#include <string>
#include <vector>

#include "cairo_handles.h"

namespace Platform::Render {

// Frames are shown at this share of their size.
inline constexpr double kThumbnailScale = 1.0 / 6;

struct Thumbnail {
  unsigned index = 0;
  double ms = 0;
  std::string title;  // UTF-8; empty: no title
  Surface picture;    // the frame at kThumbnailScale
};

// `frame` at kThumbnailScale.
Surface MakeThumbnail(cairo_surface_t* frame);

// The contact sheet of `thumbnails` (check its status).
Surface MakeContactSheet(const std::vector<Thumbnail>& thumbnails);

}  // namespace Platform::Render
