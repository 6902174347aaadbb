#include "game_screen.h"

#include <pango/pangocairo.h>

#include <algorithm>

namespace GameAssembly {
namespace {

constexpr unsigned kText = 0xE8EEF5;
constexpr unsigned kDim = 0x8DA2B8;

void SetColor(cairo_t* cr, unsigned rgb) {
  cairo_set_source_rgb(cr, ((rgb >> 16) & 0xFF) / 255.0, ((rgb >> 8) & 0xFF) / 255.0,
                       (rgb & 0xFF) / 255.0);
}

// `text` centred on (centreX, top), `pixels` high, bold or not.
void ShowCentred(cairo_t* cr, const std::string& text, double centreX, double top, double pixels,
                 bool bold, unsigned rgb) {
  PangoLayout* layout = pango_cairo_create_layout(cr);
  PangoFontDescription* font = pango_font_description_from_string("DejaVu Sans");
  pango_font_description_set_absolute_size(font, std::max(1.0, pixels) * PANGO_SCALE);
  if (bold) pango_font_description_set_weight(font, PANGO_WEIGHT_BOLD);
  pango_layout_set_font_description(layout, font);
  pango_font_description_free(font);
  pango_layout_set_text(layout, text.c_str(), -1);
  int width = 0, height = 0;
  pango_layout_get_pixel_size(layout, &width, &height);
  SetColor(cr, rgb);
  cairo_move_to(cr, centreX - width / 2.0, top);
  pango_cairo_show_layout(cr, layout);
  g_object_unref(layout);
}

void PaintProgress(cairo_t* cr, double x, double y, double width, double height, int done,
                   int total) {
  const double share = total > 0 ? std::clamp(static_cast<double>(done) / total, 0.0, 1.0) : 0;
  SetColor(cr, GameScreen::kProgressColor);
  cairo_rectangle(cr, x, y, width * share, height);
  cairo_fill(cr);
  SetColor(cr, kText);
  cairo_set_line_width(cr, 2);
  cairo_rectangle(cr, x, y, width, height);
  cairo_stroke(cr);
}

}  // namespace

bool GameScreen::State::operator==(const State& other) const {
  return level == other.level && title == other.title && done == other.done &&
         total == other.total && width == other.width && height == other.height;
}

GameScreen& GameScreen::Instance() {
  static GameScreen screen;
  return screen;
}

void GameScreen::Reset() {
  std::lock_guard<std::mutex> lock(mutex_);
  state_ = State();
  drawn_.reset();
}

void GameScreen::ShowLevel(int level) {
  std::lock_guard<std::mutex> lock(mutex_);
  state_.level = level;
}

void GameScreen::ShowTitle(const std::string& title) {
  std::lock_guard<std::mutex> lock(mutex_);
  state_.title = title;
}

void GameScreen::ShowProgress(int done, int total) {
  std::lock_guard<std::mutex> lock(mutex_);
  state_.done = done;
  state_.total = total;
}

bool GameScreen::Draw(cairo_t* cr, int width, int height) {
  State state;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    state_.width = width;
    state_.height = height;
    if (drawn_ && *drawn_ == state_) return false;
    state = drawn_.emplace(state_);
  }
  Paint(cr, state);
  return true;
}

void GameScreen::Paint(cairo_t* cr, const State& state) {
  const double width = state.width, height = state.height;
  SetColor(cr, kBackground);
  cairo_paint(cr);
  const std::string level = "Level " + std::to_string(state.level);
  ShowCentred(cr, level, width / 2, height * 0.26, height / 9, true, kText);
  ShowCentred(cr, state.title, width / 2, height * 0.45, height / 24, false, kText);
  const double barWidth = width * 0.6, barHeight = height / 36;
  PaintProgress(cr, (width - barWidth) / 2, height * 0.7, barWidth, barHeight, state.done,
                state.total);
  const std::string steps =
      "Session " + std::to_string(state.done) + " / " + std::to_string(state.total);
  ShowCentred(cr, steps, width / 2, height * 0.7 + barHeight * 1.6, height / 40, false, kDim);
}

}  // namespace GameAssembly
