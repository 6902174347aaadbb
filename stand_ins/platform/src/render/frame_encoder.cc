#include "frame_encoder.h"

#include <chrono>
#include <filesystem>

#include "platform/stand_in/trace.h"
#include "scene_painter.h"
#include "ui_loop.h"

namespace Platform::Render {
namespace {

// The longest a frame waits for the application to be quiet.
constexpr std::chrono::milliseconds kPatience{50};
constexpr std::chrono::milliseconds kQuietCheck{1};

std::string Join(const std::string& folder, const std::string& name) {
  return (std::filesystem::path(folder) / name).string();
}

}  // namespace

FrameEncoder::FrameEncoder(FramesFolder folder, std::size_t queueLimit)
    : folder_(std::move(folder)), queueLimit_(std::max<std::size_t>(queueLimit, 1)) {
  thread_ = std::thread([this] { Run(); });
}

FrameEncoder::~FrameEncoder() { Finish(); }

void FrameEncoder::Submit(CapturedFrame frame) {
  {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return closed_ || queue_.size() < queueLimit_; });
    if (closed_) return;
    queue_.push_back(std::move(frame));
  }
  changed_.notify_all();
}

void FrameEncoder::Finish() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    closed_ = true;
  }
  changed_.notify_all();
  if (thread_.joinable()) thread_.join();
}

void FrameEncoder::Run() {
  Trace::NameCurrentThread("frames");
  for (;;) {
    CapturedFrame frame;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      changed_.wait(lock, [&] { return closed_ || !queue_.empty(); });
      if (queue_.empty()) break;  // closed, and everything written
    }
    WaitForQuietApplication();
    {
      std::lock_guard<std::mutex> lock(mutex_);
      frame = std::move(queue_.front());
      queue_.pop_front();
    }
    changed_.notify_all();  // room in the queue
    Write(frame);
  }
  WriteTimeline();
}

// Returns at once when finishing: the application has ended by then.
void FrameEncoder::WaitForQuietApplication() {
  const auto giveUp = std::chrono::steady_clock::now() + kPatience;
  std::unique_lock<std::mutex> lock(mutex_);
  while (!closed_ && Internal::UiLoop::Instance().Busy() &&
         std::chrono::steady_clock::now() < giveUp) {
    changed_.wait_for(lock, kQuietCheck);
  }
}

void FrameEncoder::Write(const CapturedFrame& frame) {
  const std::string name = FrameFileName(frame.index);
  const std::string shown = Join(folder_.shown, name);
  Surface picture(PaintScene(frame.scene, images_));
  const std::string reason = Written(picture.get(), name);
  if (!reason.empty()) {
    ++failures_;
    Trace::Record("frame.failed", {{"path", shown}, {"frame", frame.index}, {"reason", reason}});
    return;
  }
  thumbnails_.push_back({frame.index, frame.ms, frame.title, MakeThumbnail(picture.get())});
  Trace::Record("frame.written", {{"path", shown}, {"frame", frame.index}, {"shownMs", frame.ms}});
}

std::string FrameEncoder::Written(cairo_surface_t* picture, const std::string& name) const {
  const cairo_status_t status = cairo_surface_status(picture);
  if (status != CAIRO_STATUS_SUCCESS) return cairo_status_to_string(status);
  return WritePngFile(folder_.path, name, picture);
}

void FrameEncoder::WriteTimeline() {
  const std::string shown = Join(folder_.shown, kTimelineFileName);
  const Surface sheet = MakeContactSheet(thumbnails_);
  const std::string reason = Written(sheet.get(), kTimelineFileName);
  if (!reason.empty()) {
    ++failures_;
    Trace::Record("timeline.failed", {{"path", shown}, {"reason", reason}});
    return;
  }
  Trace::Record("timeline.written", {{"path", shown}, {"frames", thumbnails_.size()}});
}

}  // namespace Platform::Render
