#include "contact_sheet.h"

#include <pango/pangocairo.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace Platform::Render {
namespace {

// A 1920x1080 frame makes a 320x180 thumbnail; smaller windows show smaller.
constexpr int kCellWidth = 320;
constexpr int kCellHeight = 180;
constexpr int kLabelHeight = 42;
constexpr int kGap = 16;
constexpr int kColumns = 5;
constexpr const char* kFont = "DejaVu Sans 10";

void SetColor(cairo_t* cr, unsigned rgb) {
  cairo_set_source_rgb(cr, ((rgb >> 16) & 0xFF) / 255.0, ((rgb >> 8) & 0xFF) / 255.0,
                       (rgb & 0xFF) / 255.0);
}

void ShowText(cairo_t* cr, const std::string& text, double x, double y, unsigned rgb) {
  PangoLayout* layout = pango_cairo_create_layout(cr);
  PangoFontDescription* font = pango_font_description_from_string(kFont);
  pango_layout_set_font_description(layout, font);
  pango_font_description_free(font);
  pango_layout_set_width(layout, kCellWidth * PANGO_SCALE);
  pango_layout_set_ellipsize(layout, PANGO_ELLIPSIZE_END);
  pango_layout_set_text(layout, text.c_str(), -1);
  SetColor(cr, rgb);
  cairo_move_to(cr, x, y);
  pango_cairo_show_layout(cr, layout);
  g_object_unref(layout);
}

void DrawCell(cairo_t* cr, const Thumbnail& thumbnail, double x, double y) {
  const int width = cairo_image_surface_get_width(thumbnail.picture.get());
  const int height = cairo_image_surface_get_height(thumbnail.picture.get());
  SetColor(cr, 0x5A5A5A);
  cairo_rectangle(cr, x - 0.5, y - 0.5, width + 1, height + 1);
  cairo_set_line_width(cr, 1);
  cairo_stroke(cr);
  cairo_set_source_surface(cr, thumbnail.picture.get(), x, y);
  cairo_paint(cr);
  char heading[64];
  std::snprintf(heading, sizeof heading, "#%u   %.1f ms", thumbnail.index, thumbnail.ms);
  ShowText(cr, heading, x, y + kCellHeight + 4, 0xE6E6E6);
  if (thumbnail.title.empty()) {
    ShowText(cr, "(no title)", x, y + kCellHeight + 22, 0x8C8C8C);
  } else {
    ShowText(cr, thumbnail.title, x, y + kCellHeight + 22, 0xE6E6E6);
  }
}

}  // namespace

Surface MakeThumbnail(cairo_surface_t* frame) {
  const int width =
      static_cast<int>(std::ceil(cairo_image_surface_get_width(frame) * kThumbnailScale));
  const int height =
      static_cast<int>(std::ceil(cairo_image_surface_get_height(frame) * kThumbnailScale));
  Surface thumbnail(cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height));
  cairo_t* cr = cairo_create(thumbnail.get());
  cairo_scale(cr, kThumbnailScale, kThumbnailScale);
  cairo_set_source_surface(cr, frame, 0, 0);
  cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_GOOD);
  cairo_paint(cr);
  cairo_destroy(cr);
  return thumbnail;
}

Surface MakeContactSheet(const std::vector<Thumbnail>& thumbnails) {
  const int count = static_cast<int>(thumbnails.size());
  const int columns = std::max(1, std::min(count, kColumns));
  const int rows = std::max(1, (count + kColumns - 1) / kColumns);
  const int width = kGap + columns * (kCellWidth + kGap);
  const int height = kGap + rows * (kCellHeight + kLabelHeight + kGap);
  Surface sheet(cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height));
  cairo_t* cr = cairo_create(sheet.get());
  SetColor(cr, 0x1A1A1A);
  cairo_paint(cr);
  if (thumbnails.empty()) ShowText(cr, "no frames", kGap, kGap, 0x8C8C8C);
  for (int i = 0; i < count; ++i) {
    DrawCell(cr, thumbnails[i], kGap + (i % kColumns) * (kCellWidth + kGap),
             kGap + (i / kColumns) * (kCellHeight + kLabelHeight + kGap));
  }
  cairo_destroy(cr);
  cairo_surface_flush(sheet.get());
  return sheet;
}

}  // namespace Platform::Render
