#include "package_images.h"

#include <cstring>

#include "platform/stand_in/trace.h"
#include "png_header.h"
#include "regular_file.h"

namespace Platform::Render {
namespace {

void ReportUnavailable(const SceneItem& image, const std::string& reason) {
  Trace::Record("image.unavailable",
                {{"element", image.element}, {"source", image.source}, {"reason", reason}});
}

// cairo's reader over bytes in memory.
struct MemoryReader {
  const std::string& bytes;
  std::size_t at = 0;
};

cairo_status_t ReadFromMemory(void* closure, unsigned char* data, unsigned int length) {
  auto& reader = *static_cast<MemoryReader*>(closure);
  if (reader.bytes.size() - reader.at < length) return CAIRO_STATUS_READ_ERROR;
  std::memcpy(data, reader.bytes.data() + reader.at, length);
  reader.at += length;
  return CAIRO_STATUS_SUCCESS;
}

}  // namespace

PackageImages::~PackageImages() {
  for (auto& entry : decoded_) {
    if (entry.second) cairo_surface_destroy(entry.second);
  }
}

cairo_surface_t* PackageImages::Get(const SceneItem& image) {
  auto found = decoded_.find(image.source);
  if (found != decoded_.end()) return found->second;
  return decoded_[image.source] = Decode(image);
}

cairo_surface_t* PackageImages::Decode(const SceneItem& image) {
  if (image.file.empty()) {
    ReportUnavailable(image, "not a file of the package (ms-appx:///…)");
    return nullptr;
  }
  const auto file = Internal::ReadRegularFile(image.file, kMaxImageBytes);
  if (file.tooLarge) {
    ReportUnavailable(image, "too large: " + std::to_string(file.size) + " bytes (at most " +
                                 std::to_string(kMaxImageBytes) + ")");
    return nullptr;
  }
  if (!file.ok) {
    ReportUnavailable(image, "cannot read the file: " + file.problem.Describe());
    return nullptr;
  }
  const PngCheck check = CheckPng(file.bytes, kMaxImageSide);
  if (!check.problem.empty()) {
    ReportUnavailable(image, check.problem);
    return nullptr;
  }
  MemoryReader reader{file.bytes};
  cairo_surface_t* surface = cairo_image_surface_create_from_png_stream(ReadFromMemory, &reader);
  const cairo_status_t status = cairo_surface_status(surface);
  if (status == CAIRO_STATUS_SUCCESS) return surface;
  cairo_surface_destroy(surface);
  // The header was sound and the size within the limit: what cairo could
  // not decode (it says "out of memory" for any decoding error) is the data.
  ReportUnavailable(image, "the PNG file's image data is damaged");
  return nullptr;
}

}  // namespace Platform::Render
