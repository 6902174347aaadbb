// The folder the window's pictures are written to.
#pragma once

#include <string>

namespace Platform::Render {

struct FramesFolder {
  std::string path;   // absolute: where the files are written
  std::string shown;  // as the user gave it: how the trace names the files
};

// Creates `folder` (with its parents) unless it exists, checks that a file
// can be created in it, and removes the pictures an earlier run left there
// (frame-NNNN.png and timeline.png), so the folder holds one run's
// pictures; nothing else in it is touched. Throws std::runtime_error
// naming the folder and what is wrong.
FramesFolder PrepareFramesFolder(const std::string& folder);

// "frame-0001.png" for frame 1.
std::string FrameFileName(unsigned index);
inline constexpr const char* kTimelineFileName = "timeline.png";

}  // namespace Platform::Render
