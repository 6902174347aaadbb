#include "package_images.h"

#include <cstring>
#include <fstream>

#include "platform/stand_in/trace.h"

namespace Platform::Render {
namespace {

bool StartsLikePng(const std::string& file) {
  static const char kSignature[8] = {'\x89', 'P', 'N', 'G', '\r', '\n', '\x1a', '\n'};
  char start[sizeof kSignature] = {};
  std::ifstream in(file, std::ios::binary);
  return in.read(start, sizeof start) && std::memcmp(start, kSignature, sizeof start) == 0;
}

// cairo tells a missing file apart, but reports other PNG trouble as
// running out of memory: the file's first bytes tell which it is.
std::string Reason(const std::string& file, cairo_status_t status) {
  if (status == CAIRO_STATUS_FILE_NOT_FOUND) return "file not found or not readable";
  if (!StartsLikePng(file)) return "not a PNG file";
  return std::string("the PNG file cannot be decoded (") + cairo_status_to_string(status) + ")";
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
  ReportUnavailable(image, Reason(image.file, status));
  return nullptr;
}

}  // namespace Platform::Render
