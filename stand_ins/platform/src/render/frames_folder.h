// The folder the window's pictures are written to.
#pragma once

#include <cairo.h>

#include <string>

namespace Platform::Render {

struct FramesFolder {
  std::string path;   // absolute: where the files are written
  std::string shown;  // as the user gave it: how the trace names the files
};

// Creates `folder` (with its parents) unless it exists, checks that a file
// can be created in it, and removes the pictures an earlier run left there
// (frame-NNNN.png and timeline.png; a link of such a name is removed
// itself, never followed), so the folder holds one run's pictures; nothing
// else in it is touched. Throws std::runtime_error
// naming the folder (as `shown`, when given) and what is wrong.
FramesFolder PrepareFramesFolder(const std::string& folder, const std::string& shown = "");

// Writes `picture` as the PNG file `name` in `folder`, always as a new
// file: the bytes go to a temporary file created in the folder (never
// through a link, nor into a file someone else made), which then replaces
// `name` (a link of that name is replaced, not followed). Returns an empty
// text, or the reason the file could not be written; nothing of it is left
// behind then.
std::string WritePngFile(const std::string& folder, const std::string& name,
                         cairo_surface_t* picture);

// "frame-0001.png" for frame 1.
std::string FrameFileName(unsigned index);
inline constexpr const char* kTimelineFileName = "timeline.png";

}  // namespace Platform::Render
