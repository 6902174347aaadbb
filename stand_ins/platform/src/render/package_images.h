// The pictures that image elements show, decoded with cairo from the
// package's PNG files, each once per run. An image that cannot be shown is
// reported once, by one trace line ("image.unavailable" with the element,
// its source and the reason); the element then paints nothing. Used by one
// thread at a time.
//
// Only a regular file is read (a FIFO or a folder is refused without
// waiting), of at most kMaxImageBytes; its PNG header is checked before any
// decoding, and an image wider or taller than kMaxImageSide pixels is
// "too large" (with its size). The reason says what is wrong: the file
// cannot be read (and why), is not a PNG file, is truncated, has no image
// data, or its image data is damaged.
#pragma once

#include <cairo.h>

#include <cstdint>
#include <map>
#include <string>

#include "scene.h"

namespace Platform::Render {

class PackageImages {
 public:
  static constexpr std::uint64_t kMaxImageBytes = 64ull << 20;  // 64 MiB
  static constexpr std::uint32_t kMaxImageSide = 4096;
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
