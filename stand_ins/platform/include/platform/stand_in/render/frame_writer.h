// Pictures of the main window (the corvane program's --frames): one PNG of
// the window's content area, at its size and scale 1 without decoration,
// for every visible change, and a contact sheet of the run.
//
// Installed as the composition observer, the writer takes a cheap copy of
// what the window shows (the element tree's fills and images, and the frame
// each SwapChainPanel presents) on the thread where it changed: the UI
// thread after each layout pass, the presenting thread after a present.
// When the copy looks different from the last frame, it is queued; the
// writer's own thread ("frames") paints it with cairo, writes
// DIR/frame-NNNN.png (each picture a new file: see WritePngFile in
// frames_folder.h) and records {"event":"frame.written","path":...}, in
// the order the changes happened. Presented frames count against a limit
// per run (one "frames.limit" line when it is reached; later ones are not
// written). At the application's end everything queued is written, then
// DIR/timeline.png, the contact sheet of the frames, each labelled with
// its "ms" and the window's title at that moment; all before
// "application.exit".
#pragma once

#include <cstddef>
#include <memory>
#include <mutex>
#include <string>

#include "platform/stand_in/composition.h"

namespace Platform::Render {

class FrameEncoder;
struct Scene;

class FrameWriter : public CompositionObserver {
 public:
  // Presented frames written per run: a second of a 60 frames per second
  // game, enough for the sample game's whole session.
  static constexpr unsigned kMaxPresentedFrames = 60;
  // Frames waiting to be written before a capturing thread waits.
  static constexpr std::size_t kQueueLimit = 64;

  struct Options {
    std::string folder;
    unsigned maxPresentedFrames = kMaxPresentedFrames;
    std::size_t queueLimit = kQueueLimit;
    // How the trace and the messages name the folder (empty: `folder`).
    std::string shownAs;
  };

  // Prepares the folder (created with its parents if missing; the pictures
  // of an earlier run in it are removed, nothing else) and starts the
  // writer's thread. Throws std::runtime_error naming the folder and the
  // reason when it cannot be created or written to.
  explicit FrameWriter(const Options& options);
  ~FrameWriter() override;

  void LayoutUpdated() override;
  void FramePresented(const Windows::UI::Xaml::Controls::SwapChainPanel& panel) override;
  // Finish().
  void ApplicationEnding() override;

  // Writes what is queued, then timeline.png, and waits for that; later
  // captures are ignored. Safe to call more than once.
  void Finish();
  // Pictures that could not be written (each reported by a trace line).
  unsigned Failures() const;

 private:
  void Offer(bool presented);

  const unsigned maxPresentedFrames_;
  std::mutex mutex_;
  std::unique_ptr<Scene> current_;  // what the window shows now
  std::unique_ptr<Scene> written_;  // the visible part of the last frame queued
  unsigned frames_ = 0;
  unsigned presentedFrames_ = 0;
  bool limitReported_ = false;
  std::unique_ptr<FrameEncoder> encoder_;
};

}  // namespace Platform::Render
