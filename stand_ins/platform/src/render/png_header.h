// What a PNG file's chunks say before its pixels are decoded: whether it is
// a PNG file at all, its size, and whether its image data is all there.
#pragma once

#include <cstdint>
#include <string>

namespace Platform::Render {

struct PngCheck {
  std::uint32_t width = 0, height = 0;
  std::string problem;  // empty: the file can be handed to the decoder
};

// Checks the signature, the IHDR chunk (first, 13 bytes, nonzero size of at
// most `maxSide` on each side) and that IDAT and IEND chunks follow whole.
// Problems: "not a PNG file", "too large: WxH pixels (at most NxN)", "the
// PNG file is truncated", "the PNG file has no image data", "the PNG
// file's header is damaged".
PngCheck CheckPng(const std::string& bytes, std::uint32_t maxSide);

}  // namespace Platform::Render
