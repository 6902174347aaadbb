// The frame writer's own thread ("frames" in the trace): paints each
// captured frame, writes it as a PNG file and announces it
// ("frame.written", or "frame.failed" with the reason), in the order the
// frames were captured; at the end writes timeline.png ("timeline.written"
// or "timeline.failed"). The capturing threads only queue: the painting and
// the encoding never run on them, and the thread paints while the
// application waits for something to do (no handler running or queued, no
// work item pending; or at most kPatience), so it does not hold up what the
// pictures show on a machine with few cores.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "contact_sheet.h"
#include "frames_folder.h"
#include "package_images.h"
#include "scene.h"

namespace Platform::Render {

struct CapturedFrame {
  unsigned index = 0;
  double ms = 0;      // when the window showed it
  std::string title;  // the window's title then (UTF-8)
  Scene scene;
};

class FrameEncoder {
 public:
  FrameEncoder(FramesFolder folder, std::size_t queueLimit);
  ~FrameEncoder();
  FrameEncoder(const FrameEncoder&) = delete;
  FrameEncoder& operator=(const FrameEncoder&) = delete;

  // Queues `frame`. While `queueLimit` frames wait already, waits for one
  // to be written: nothing captured is ever dropped. Ignored after Finish.
  void Submit(CapturedFrame frame);
  // Writes every queued frame, then timeline.png, and waits for that.
  // Later calls do nothing.
  void Finish();
  // Files (frames and the timeline) that could not be written.
  unsigned Failures() const { return failures_.load(); }

 private:
  void Run();
  void WaitForQuietApplication();
  void Write(const CapturedFrame& frame);
  void WriteTimeline();
  // Writes `picture` as `name` in the folder; the reason when it failed.
  std::string Written(cairo_surface_t* picture, const std::string& name) const;

  const FramesFolder folder_;
  const std::size_t queueLimit_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<CapturedFrame> queue_;
  bool closed_ = false;
  std::atomic<unsigned> failures_{0};
  // The thread's own, and the thumbnails of the frames written so far.
  PackageImages images_;
  std::vector<Thumbnail> thumbnails_;
  std::thread thread_;
};

}  // namespace Platform::Render
