// Owning handles of cairo objects.
#pragma once

#include <cairo.h>

#include <memory>

namespace Platform::Render {

struct SurfaceDestroyer {
  void operator()(cairo_surface_t* surface) const { cairo_surface_destroy(surface); }
};
using Surface = std::unique_ptr<cairo_surface_t, SurfaceDestroyer>;

}  // namespace Platform::Render
