// Paints a Scene with cairo: fills, package images stretched to their box,
// and presented frames (RecordedFrame) clipped to their panel's box.
#pragma once

#include <cairo.h>

#include "package_images.h"
#include "scene.h"

namespace Platform::Render {

// A new opaque picture of the whole scene, width x height pixels at scale 1
// (the caller destroys it; check its status).
cairo_surface_t* PaintScene(const Scene& scene, PackageImages& images);

}  // namespace Platform::Render
