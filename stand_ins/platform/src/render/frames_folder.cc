#include "frames_folder.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <stdexcept>

namespace Platform::Render {
namespace {

namespace fs = std::filesystem;

[[noreturn]] void Fail(const std::string& folder, const std::string& what) {
  throw std::runtime_error("cannot write pictures to " + folder + ": " + what);
}

// frame-NNNN.png (four or more digits) or timeline.png.
bool IsOurPicture(const std::string& name) {
  if (name == kTimelineFileName) return true;
  const std::string prefix = "frame-", suffix = ".png";
  if (name.size() < prefix.size() + 4 + suffix.size()) return false;
  if (name.compare(0, prefix.size(), prefix) != 0) return false;
  if (name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0) return false;
  const std::string digits =
      name.substr(prefix.size(), name.size() - prefix.size() - suffix.size());
  return digits.find_first_not_of("0123456789") == std::string::npos;
}

std::string WithoutTrailingSlashes(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

void CheckWritable(const std::string& shown, const fs::path& folder) {
  const fs::path probe = folder / (".corvane-write-check-" + std::to_string(getpid()));
  const int fd = open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) Fail(shown, std::strerror(errno));
  close(fd);
  unlink(probe.c_str());
}

void RemoveEarlierPictures(const std::string& shown, const fs::path& folder) {
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(folder, error)) {
    if (!entry.is_regular_file(error) || !IsOurPicture(entry.path().filename().string())) continue;
    if (!fs::remove(entry.path(), error) && error) break;
  }
  if (error) Fail(shown, "cannot remove the earlier run's pictures: " + error.message());
}

}  // namespace

FramesFolder PrepareFramesFolder(const std::string& folder) {
  if (folder.empty()) Fail("\"\"", "no folder given");
  std::error_code error;
  const fs::path absolute = fs::absolute(folder, error);
  if (error) Fail(folder, error.message());
  if (fs::exists(absolute, error) && !fs::is_directory(absolute, error))
    Fail(folder, "not a folder");
  fs::create_directories(absolute, error);
  if (error) Fail(folder, error.message());
  CheckWritable(folder, absolute);
  RemoveEarlierPictures(folder, absolute);
  return {WithoutTrailingSlashes(absolute.lexically_normal().string()),
          WithoutTrailingSlashes(folder)};
}

std::string FrameFileName(unsigned index) {
  char name[32];
  std::snprintf(name, sizeof name, "frame-%04u.png", index);
  return name;
}

}  // namespace Platform::Render
