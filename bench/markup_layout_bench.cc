// Loading a page whose markup places N sibling elements on a canvas, and
// the layout pass that reports them: the cost before a page can be shown
// (corvane's "frame.navigated"). Should grow in proportion to N.
//   build/release/bench/markup_layout_bench
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/application.h"
#include "platform/controls.h"
#include "platform/page.h"
#include "platform/stand_in/stand_in.h"
#include "platform/stand_in/trace.h"

namespace {

namespace fs = std::filesystem;

void WideMarkup(benchmark::State& state) {
  const auto siblings = static_cast<int>(state.range(0));
  const fs::path folder =
      fs::temp_directory_path() / ("markup_layout_bench." + std::to_string(getpid()));
  fs::create_directories(folder);
  {
    std::ofstream markup(folder / "Wide.xaml");
    markup << "<Page><Canvas>";
    for (int i = 0; i < siblings; ++i) markup << "<Canvas Canvas.Left=\"" << i << "\"/>";
    markup << "</Canvas></Page>";
  }
  Platform::StandIn::SetPackageFolder(folder.string());
  Platform::StandIn::StartApplication([](auto) {
    struct BenchApp : Windows::UI::Xaml::Application {};
    Platform::ref_new<BenchApp>();
  });
  const auto uri = Platform::ref_new<Windows::Foundation::Uri>(u"ms-appx:///Wide.xaml");
  for (auto _ : state) {
    auto page = Platform::ref_new<Windows::UI::Xaml::Controls::Page>();
    Windows::UI::Xaml::Application::LoadComponent(page, uri);
    Platform::StandIn::ResizeWindow(1280, 720);  // a layout pass: every sibling is reported
    state.PauseTiming();
    page.reset();
    Platform::Trace::Clear();
    state.ResumeTiming();
  }
  state.SetComplexityN(siblings);
  Platform::StandIn::Reset();
  fs::remove_all(folder);
}
BENCHMARK(WideMarkup)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(30000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity();

}  // namespace

BENCHMARK_MAIN();
