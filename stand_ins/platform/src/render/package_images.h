// The pictures that image elements show, decoded with cairo from the
// package's PNG files, each once per run. An image that cannot be shown is
// reported once, by one trace line ("image.unavailable" with the element,
// its source and the reason); the element then paints nothing. Used by one
// thread at a time.
#pragma once

#include <cairo.h>

#include <map>
#include <string>

#include "scene.h"

namespace Platform::Render {

class PackageImages {
 public:
  PackageImages() = default;
  ~PackageImages();
  PackageImages(const PackageImages&) = delete;
  PackageImages& operator=(const PackageImages&) = delete;

  // The decoded picture of an Image item, or null.
  cairo_surface_t* Get(const SceneItem& image);

 private:
  cairo_surface_t* Decode(const SceneItem& image);
  std::map<std::string, cairo_surface_t*> decoded_;  // by source; null: unavailable
};

}  // namespace Platform::Render
