#include "package_images.h"

#include "platform/trace.h"

namespace Platform::Render {
namespace {

std::string Reason(cairo_status_t status) {
  switch (status) {
    case CAIRO_STATUS_FILE_NOT_FOUND:
      return "file not found or not readable";
    case CAIRO_STATUS_NO_MEMORY:
      return "out of memory";
    default:
      return std::string("not a PNG file (") + cairo_status_to_string(status) + ")";
  }
}

void ReportUnavailable(const SceneItem& image, const std::string& reason) {
  Trace::Record("image.unavailable",
                {{"element", image.element}, {"source", image.source}, {"reason", reason}});
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
  cairo_surface_t* surface = cairo_image_surface_create_from_png(image.file.c_str());
  const cairo_status_t status = cairo_surface_status(surface);
  if (status == CAIRO_STATUS_SUCCESS) return surface;
  cairo_surface_destroy(surface);
  ReportUnavailable(image, Reason(status));
  return nullptr;
}

}  // namespace Platform::Render
