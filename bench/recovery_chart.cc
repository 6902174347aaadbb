// Draws the outage simulation (delivery_simulation's CSV) as a PNG chart:
// requests per second arriving at the collector over time, one line per
// schedule, on a logarithmic scale, with the outage shaded and the steady
// rate and twice it marked.
//
//   recovery_chart CSV PNG
#include <cairo.h>
#include <pango/pangocairo.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr int kWidth = 960, kHeight = 480;
constexpr double kLeft = 80, kRight = 190, kTop = 50, kBottom = 60;
constexpr double kMinRate = 10, kMaxRate = 100000;
constexpr double kDownFrom = 600, kDownUntil = 1200, kSteady = 10000.0 / 30;

struct Series {
  std::string name;
  std::vector<double> rates;
};

struct Table {
  std::vector<double> seconds;
  std::vector<Series> series;
};

Table ReadCsv(const std::string& path) {
  std::ifstream file(path);
  Table table;
  std::string line, cell;
  std::getline(file, line);
  std::stringstream header(line);
  std::getline(header, cell, ',');  // "seconds"
  while (std::getline(header, cell, ',')) table.series.push_back({cell, {}});
  while (std::getline(file, line)) {
    std::stringstream row(line);
    std::getline(row, cell, ',');
    table.seconds.push_back(std::stod(cell));
    for (Series& series : table.series) {
      std::getline(row, cell, ',');
      series.rates.push_back(std::stod(cell));
    }
  }
  return table;
}

struct Frame {
  double endSeconds;
  double X(double seconds) const {
    return kLeft + seconds / endSeconds * (kWidth - kLeft - kRight);
  }
  double Y(double rate) const {
    const double share = (std::log10(std::max(rate, kMinRate)) - std::log10(kMinRate)) /
                         (std::log10(kMaxRate) - std::log10(kMinRate));
    return kHeight - kBottom - share * (kHeight - kTop - kBottom);
  }
};

void Text(cairo_t* cr, const std::string& text, double x, double y, double alignX,
          const char* font = "Sans 10") {
  PangoLayout* layout = pango_cairo_create_layout(cr);
  PangoFontDescription* description = pango_font_description_from_string(font);
  pango_layout_set_font_description(layout, description);
  pango_layout_set_text(layout, text.c_str(), -1);
  int width = 0, height = 0;
  pango_layout_get_pixel_size(layout, &width, &height);
  cairo_move_to(cr, x - alignX * width, y - height / 2.0);
  pango_cairo_show_layout(cr, layout);
  pango_font_description_free(description);
  g_object_unref(layout);
}

void Axes(cairo_t* cr, const Frame& frame) {
  cairo_set_source_rgb(cr, 1, 0.93, 0.93);  // the outage
  cairo_rectangle(cr, frame.X(kDownFrom), kTop, frame.X(kDownUntil) - frame.X(kDownFrom),
                  kHeight - kTop - kBottom);
  cairo_fill(cr);
  cairo_set_source_rgb(cr, 0.6, 0.2, 0.2);
  Text(cr, "collector down", (frame.X(kDownFrom) + frame.X(kDownUntil)) / 2, kTop + 12, 0.5);

  cairo_set_line_width(cr, 1);
  for (double rate = kMinRate; rate <= kMaxRate; rate *= 10) {
    cairo_set_source_rgb(cr, 0.88, 0.88, 0.88);
    cairo_move_to(cr, kLeft, frame.Y(rate));
    cairo_line_to(cr, kWidth - kRight, frame.Y(rate));
    cairo_stroke(cr);
    cairo_set_source_rgb(cr, 0.2, 0.2, 0.2);
    Text(cr, std::to_string(static_cast<long>(rate)), kLeft - 6, frame.Y(rate), 1);
  }
  for (double minute = 0; minute * 60 <= frame.endSeconds; minute += 10) {
    cairo_set_source_rgb(cr, 0.2, 0.2, 0.2);
    Text(cr, std::to_string(static_cast<int>(minute)), frame.X(minute * 60), kHeight - kBottom + 14,
         0.5);
  }
  Text(cr, "minutes", (kLeft + kWidth - kRight) / 2, kHeight - 18, 0.5);
  cairo_save(cr);
  cairo_translate(cr, 22, (kTop + kHeight - kBottom) / 2);
  cairo_rotate(cr, -M_PI / 2);
  Text(cr, "requests per second at the collector", 0, 0, 0.5);
  cairo_restore(cr);
  Text(cr, "10,000 clients, one request each every 30 s; collector down for 10 minutes", kLeft, 22,
       0, "Sans Bold 11");

  const double dashes[] = {6, 4};
  cairo_set_dash(cr, dashes, 2, 0);
  for (double factor : {1.0, 2.0}) {
    cairo_set_source_rgb(cr, 0.35, 0.35, 0.35);
    cairo_move_to(cr, kLeft, frame.Y(kSteady * factor));
    cairo_line_to(cr, kWidth - kRight, frame.Y(kSteady * factor));
    cairo_stroke(cr);
    Text(cr, factor == 1 ? "steady rate" : "2 x steady", kWidth - kRight + 6,
         frame.Y(kSteady * factor), 0);
  }
  cairo_set_dash(cr, nullptr, 0, 0);
  cairo_set_source_rgb(cr, 0.2, 0.2, 0.2);
  cairo_rectangle(cr, kLeft, kTop, kWidth - kLeft - kRight, kHeight - kTop - kBottom);
  cairo_stroke(cr);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: recovery_chart CSV PNG\n");
    return 2;
  }
  const Table table = ReadCsv(argv[1]);
  if (table.seconds.empty()) {
    std::fprintf(stderr, "recovery_chart: no rows in %s\n", argv[1]);
    return 1;
  }
  const Frame frame{table.seconds.back() + (table.seconds.size() > 1 ? table.seconds[1] : 10)};
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, kWidth, kHeight);
  cairo_t* cr = cairo_create(surface);
  cairo_set_source_rgb(cr, 1, 1, 1);
  cairo_paint(cr);
  Axes(cr, frame);

  const double colours[][3] = {{0.10, 0.35, 0.75}, {0.90, 0.50, 0.05}, {0.80, 0.15, 0.15}};
  const char* labels[] = {"this library", "exponential, no jitter", "fixed 10 s"};
  for (std::size_t i = 0; i < table.series.size() && i < 3; ++i) {
    cairo_set_source_rgb(cr, colours[i][0], colours[i][1], colours[i][2]);
    cairo_set_line_width(cr, i == 0 ? 2.2 : 1.4);
    for (std::size_t bin = 0; bin < table.seconds.size(); ++bin) {
      const double x = frame.X(table.seconds[bin]), y = frame.Y(table.series[i].rates[bin]);
      if (bin == 0)
        cairo_move_to(cr, x, y);
      else
        cairo_line_to(cr, x, y);
    }
    cairo_stroke(cr);
    const double legendY = kTop + 60 + 22 * static_cast<double>(i);
    cairo_move_to(cr, kWidth - kRight + 8, legendY);
    cairo_line_to(cr, kWidth - kRight + 30, legendY);
    cairo_stroke(cr);
    Text(cr, labels[i], kWidth - kRight + 36, legendY, 0);
  }
  cairo_destroy(cr);
  const cairo_status_t status = cairo_surface_write_to_png(surface, argv[2]);
  cairo_surface_destroy(surface);
  if (status != CAIRO_STATUS_SUCCESS) {
    std::fprintf(stderr, "recovery_chart: cannot write %s: %s\n", argv[2],
                 cairo_status_to_string(status));
    return 1;
  }
  return 0;
}
