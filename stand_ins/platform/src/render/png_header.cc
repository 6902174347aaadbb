#include "png_header.h"

#include <cstring>

namespace Platform::Render {
namespace {

constexpr char kSignature[8] = {'\x89', 'P', 'N', 'G', '\r', '\n', '\x1a', '\n'};

std::uint32_t BigEndian(const std::string& bytes, std::size_t at) {
  std::uint32_t value = 0;
  for (int i = 0; i < 4; ++i) value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
  return value;
}

}  // namespace

PngCheck CheckPng(const std::string& bytes, std::uint32_t maxSide) {
  PngCheck check;
  if (bytes.size() < sizeof kSignature || std::memcmp(bytes.data(), kSignature, 8) != 0) {
    check.problem = "not a PNG file";
    return check;
  }
  bool imageData = false;
  std::size_t at = sizeof kSignature;
  for (bool first = true;; first = false) {
    if (bytes.size() - at < 12) {
      check.problem = "the PNG file is truncated";
      return check;
    }
    const std::uint64_t length = BigEndian(bytes, at);
    const std::string type = bytes.substr(at + 4, 4);
    if (length > bytes.size() - at - 12) {
      check.problem = "the PNG file is truncated";
      return check;
    }
    if (first) {
      if (type != "IHDR" || length != 13) {
        check.problem = "the PNG file's header is damaged";
        return check;
      }
      check.width = BigEndian(bytes, at + 8);
      check.height = BigEndian(bytes, at + 12);
      if (check.width == 0 || check.height == 0) {
        check.problem = "the PNG file's header is damaged";
        return check;
      }
      if (check.width > maxSide || check.height > maxSide) {
        check.problem = "too large: " + std::to_string(check.width) + "x" +
                        std::to_string(check.height) + " pixels (at most " +
                        std::to_string(maxSide) + "x" + std::to_string(maxSide) + ")";
        return check;
      }
    }
    if (type == "IDAT") imageData = true;
    if (type == "IEND") break;
    at += 12 + length;
  }
  if (!imageData) check.problem = "the PNG file has no image data";
  return check;
}

}  // namespace Platform::Render
