#include "platform/stand_in/render/frame_writer.h"

#include "frame_encoder.h"
#include "platform/controls.h"
#include "platform/stand_in/trace.h"
#include "platform/strings.h"
#include "platform/view.h"
#include "scene.h"

namespace Platform::Render {

FrameWriter::FrameWriter(const Options& options)
    : maxPresentedFrames_(options.maxPresentedFrames),
      encoder_(std::make_unique<FrameEncoder>(PrepareFramesFolder(options.folder, options.shownAs),
                                              options.queueLimit)) {}

FrameWriter::~FrameWriter() { Finish(); }

void FrameWriter::LayoutUpdated() {
  std::lock_guard<std::mutex> lock(mutex_);
  // Under the lock, so a frame presented meanwhile is either in this copy
  // or replaces it afterwards, never overtaken by an older one.
  current_ = std::make_unique<Scene>(SnapshotWindow());
  Offer(false);
}

void FrameWriter::FramePresented(const Windows::UI::Xaml::Controls::SwapChainPanel& panel) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!current_ || !ReplacePresented(*current_, &panel, panel.PresentedFrame())) return;
  Offer(true);
}

void FrameWriter::ApplicationEnding() { Finish(); }

void FrameWriter::Finish() { encoder_->Finish(); }

unsigned FrameWriter::Failures() const { return encoder_->Failures(); }

// Call with the lock held.
void FrameWriter::Offer(bool presented) {
  Scene visible = VisiblePart(*current_);
  if (written_ && *written_ == visible) return;
  if (presented && presentedFrames_ >= maxPresentedFrames_) {
    if (!limitReported_) Trace::Record("frames.limit", {{"presentedFrames", maxPresentedFrames_}});
    limitReported_ = true;
    return;
  }
  if (presented) ++presentedFrames_;
  written_ = std::make_unique<Scene>(visible);
  CapturedFrame frame;
  frame.index = ++frames_;
  frame.ms = Trace::Milliseconds();
  frame.title = Platform::ToUtf8(Windows::UI::ViewManagement::ApplicationView::MainViewTitle());
  frame.scene = std::move(visible);
  encoder_->Submit(std::move(frame));
}

}  // namespace Platform::Render
