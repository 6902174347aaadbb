#include <cairo.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "platform/controls.h"
#include "platform/stand_in/composition.h"
#include "platform/stand_in/render/frame_writer.h"
#include "platform/stand_in/render/recorded_frame.h"
#include "platform/window.h"
#include "stand_in_test_support.h"

namespace {

namespace fs = std::filesystem;
using Platform::Render::FrameWriter;
using Platform::Render::RecordedFrame;
using Windows::UI::Xaml::Controls::Canvas;
using Windows::UI::Xaml::Controls::SwapChainPanel;

// The colour at (x, y) of a PNG file, read back with cairo, as 0xRRGGBB.
unsigned PixelOf(const std::string& path, int x, int y) {
  cairo_surface_t* image = cairo_image_surface_create_from_png(path.c_str());
  EXPECT_EQ(cairo_surface_status(image), CAIRO_STATUS_SUCCESS) << path;
  unsigned pixel = 0;
  if (cairo_surface_status(image) == CAIRO_STATUS_SUCCESS) {
    const unsigned char* row =
        cairo_image_surface_get_data(image) + y * cairo_image_surface_get_stride(image);
    pixel = reinterpret_cast<const std::uint32_t*>(row)[x] & 0xFFFFFF;
  }
  cairo_surface_destroy(image);
  return pixel;
}

std::shared_ptr<const RecordedFrame> Red(unsigned char shade) {
  return RecordedFrame::Record(64, 48, [shade](cairo_t* cr) {
    cairo_set_source_rgb(cr, shade / 255.0, 0, 0);
    cairo_paint(cr);
    return true;
  });
}

class Frames : public StandInTest::Fixture {
 protected:
  void SetUp() override {
    StartApp();
    Windows::UI::Xaml::Window::Current()->Content(panel);
  }
  void TearDown() override {
    Fixture::TearDown();
    fs::remove_all(folder);
  }

  std::shared_ptr<FrameWriter> Watch(unsigned maxPresentedFrames = 60) {
    auto writer = std::make_shared<FrameWriter>(FrameWriter::Options{folder, maxPresentedFrames});
    Platform::Composition::SetObserver(writer);
    Platform::StandIn::ResizeWindow(64, 48);  // a layout pass: the first frame
    return writer;
  }
  // What frame.written announced, in order.
  static std::vector<std::string> Written() {
    std::vector<std::string> paths;
    for (auto& event : Platform::Trace::EventsNamed("frame.written"))
      paths.push_back(event["path"]);
    return paths;
  }

  std::string folder =
      (fs::temp_directory_path() / ("frame_writer_test." + std::to_string(getpid()))).string();
  std::shared_ptr<SwapChainPanel> panel = Platform::ref_new<SwapChainPanel>();
};

TEST_F(Frames, PresentedFramesAreLimitedAndEverythingIsWrittenBeforeTheApplicationExits) {
  auto writer = Watch(2);
  for (unsigned char shade : {40, 80, 120}) panel->Present(Red(shade));
  Windows::UI::Xaml::Application::Current()->Exit();
  Platform::StandIn::RunUntilExit();

  ASSERT_EQ(Written().size(), 3u);  // the window, then two presented frames
  EXPECT_EQ(PixelOf(Written()[0], 10, 10), 0x000000u);
  EXPECT_EQ(PixelOf(Written()[2], 63, 47), 0x500000u);
  EXPECT_EQ(Platform::Trace::EventsNamed("frames.limit").size(), 1u);
  auto names = EventNames();
  EXPECT_EQ(names.back(), "application.exit");
  EXPECT_EQ(names[names.size() - 2], "timeline.written");
  EXPECT_TRUE(fs::is_regular_file(fs::path(folder) / "timeline.png"));
  EXPECT_EQ(writer->Failures(), 0u);
}

TEST_F(Frames, AnOpaquePanelHidesThePresentedFrameATransparentOneDoesNot) {
  using Windows::UI::Xaml::Media::SolidColorBrush;
  auto cover = Platform::ref_new<Canvas>();
  cover->InitializeBackground(Platform::ref_new<SolidColorBrush>(Windows::UI::Color{255, 0, 0, 9}));
  panel->Children()->AppendQuietly(cover);
  auto writer = Watch();
  panel->Present(Red(200));  // hidden: no frame
  cover->Background(Platform::ref_new<SolidColorBrush>(Windows::UI::Color{0, 0, 0, 9}));
  Platform::StandIn::ResizeWindow(64, 48);  // the layout pass after the change
  writer->Finish();
  ASSERT_EQ(Written().size(), 2u);
  EXPECT_EQ(PixelOf(Written()[0], 5, 5), 0x000009u);
  EXPECT_EQ(PixelOf(Written()[1], 5, 5), 0xC80000u);
}

// A link slipped into the folder once it was prepared is replaced by the
// picture, never written through; no temporary file is left.
TEST_F(Frames, EachPictureIsANewFileNeverWrittenThroughALink) {
  const std::string outside = folder + ".outside";
  auto writer = std::make_shared<FrameWriter>(FrameWriter::Options{folder});
  for (const char* name : {"frame-0001.png", "timeline.png"})
    fs::create_symlink(outside, fs::path(folder) / name);
  Platform::Composition::SetObserver(writer);
  Platform::StandIn::ResizeWindow(64, 48);
  writer->Finish();
  EXPECT_EQ(writer->Failures(), 0u);
  EXPECT_FALSE(fs::exists(fs::symlink_status(outside)));
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
    EXPECT_EQ(entry.symlink_status().type(), fs::file_type::regular) << names.back();
  }
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"frame-0001.png", "timeline.png"}));
  EXPECT_EQ(PixelOf(folder + "/frame-0001.png", 5, 5), 0x000000u);
}

TEST_F(Frames, APictureThatCannotBeWrittenIsReported) {
  auto writer = std::make_shared<FrameWriter>(FrameWriter::Options{folder});
  Platform::Composition::SetObserver(writer);
  fs::remove_all(folder);
  Platform::StandIn::ResizeWindow(64, 48);
  writer->Finish();
  EXPECT_EQ(writer->Failures(), 2u);
  ASSERT_EQ(Platform::Trace::EventsNamed("frame.failed").size(), 1u);
  EXPECT_EQ(Platform::Trace::EventsNamed("frame.failed")[0]["path"], folder + "/frame-0001.png");
  EXPECT_EQ(Platform::Trace::EventsNamed("timeline.failed").size(), 1u);
}

}  // namespace
