#include "scene_painter.h"

#include <cmath>

#include "platform/stand_in/render/recorded_frame.h"

namespace Platform::Render {
namespace {

void PaintFill(cairo_t* cr, const SceneItem& fill) {
  const auto& c = fill.color;
  cairo_set_source_rgba(cr, c.R / 255.0, c.G / 255.0, c.B / 255.0, c.A / 255.0);
  cairo_rectangle(cr, fill.box.x, fill.box.y, fill.box.width, fill.box.height);
  cairo_fill(cr);
}

void PaintImage(cairo_t* cr, const SceneItem& item, PackageImages& images) {
  cairo_surface_t* image = images.Get(item);
  if (!image) return;
  const double naturalWidth = cairo_image_surface_get_width(image);
  const double naturalHeight = cairo_image_surface_get_height(image);
  if (naturalWidth <= 0 || naturalHeight <= 0) return;
  const double width = std::isnan(item.box.width) ? naturalWidth : item.box.width;
  const double height = std::isnan(item.box.height) ? naturalHeight : item.box.height;
  if (width <= 0 || height <= 0) return;
  cairo_save(cr);
  cairo_rectangle(cr, item.box.x, item.box.y, width, height);
  cairo_clip(cr);
  cairo_translate(cr, item.box.x, item.box.y);
  cairo_scale(cr, width / naturalWidth, height / naturalHeight);
  cairo_set_source_surface(cr, image, 0, 0);
  cairo_paint(cr);
  cairo_restore(cr);
}

void PaintPresented(cairo_t* cr, const SceneItem& item) {
  auto recorded = std::dynamic_pointer_cast<const RecordedFrame>(item.frame);
  if (!recorded) return;
  cairo_save(cr);
  cairo_rectangle(cr, item.box.x, item.box.y, item.box.width, item.box.height);
  cairo_clip(cr);
  cairo_set_source_surface(cr, recorded->Surface(), item.box.x, item.box.y);
  cairo_paint(cr);
  cairo_restore(cr);
}

}  // namespace

cairo_surface_t* PaintScene(const Scene& scene, PackageImages& images) {
  const int width = static_cast<int>(std::lround(scene.width));
  const int height = static_cast<int>(std::lround(scene.height));
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
  cairo_t* cr = cairo_create(surface);
  for (const SceneItem& item : scene.items) {
    switch (item.kind) {
      case SceneItem::Kind::Fill:
        PaintFill(cr, item);
        break;
      case SceneItem::Kind::Image:
        PaintImage(cr, item, images);
        break;
      case SceneItem::Kind::Presented:
        PaintPresented(cr, item);
        break;
    }
  }
  cairo_destroy(cr);
  cairo_surface_flush(surface);
  return surface;
}

}  // namespace Platform::Render
