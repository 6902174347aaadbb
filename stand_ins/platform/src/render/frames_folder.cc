#include "frames_folder.h"

#include <fcntl.h>
#include <sys/stat.h>
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
    if (!IsOurPicture(entry.path().filename().string())) continue;
    // A link of our name goes too, itself: what it points to is not ours.
    const auto type = entry.symlink_status(error).type();
    if (error) break;
    if (type != fs::file_type::regular && type != fs::file_type::symlink) continue;
    if (!fs::remove(entry.path(), error) && error) break;
  }
  if (error) Fail(shown, "cannot remove the earlier run's pictures: " + error.message());
}

}  // namespace

FramesFolder PrepareFramesFolder(const std::string& folder, const std::string& shownAs) {
  const std::string shown = shownAs.empty() ? folder : shownAs;
  if (folder.empty()) Fail("\"\"", "no folder given");
  std::error_code error;
  const fs::path absolute = fs::absolute(folder, error);
  if (error) Fail(shown, error.message());
  if (fs::exists(absolute, error) && !fs::is_directory(absolute, error))
    Fail(shown, "not a folder");
  fs::create_directories(absolute, error);
  if (error) Fail(shown, error.message());
  CheckWritable(shown, absolute);
  RemoveEarlierPictures(shown, absolute);
  return {WithoutTrailingSlashes(absolute.lexically_normal().string()),
          WithoutTrailingSlashes(shown)};
}

namespace {

struct PngOutput {
  int fd;
  int error = 0;
};

cairo_status_t WriteToFile(void* closure, const unsigned char* data, unsigned int length) {
  auto& out = *static_cast<PngOutput*>(closure);
  while (length > 0) {
    const ssize_t written = write(out.fd, data, length);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      out.error = written < 0 ? errno : EIO;
      return CAIRO_STATUS_WRITE_ERROR;
    }
    data += written;
    length -= static_cast<unsigned>(written);
  }
  return CAIRO_STATUS_SUCCESS;
}

}  // namespace

std::string WritePngFile(const std::string& folder, const std::string& name,
                         cairo_surface_t* picture) {
  std::string temporary = folder + "/." + name + ".XXXXXX";
  // mkostemp creates the file exclusively: it never opens an existing one.
  PngOutput out{mkostemp(temporary.data(), O_CLOEXEC)};
  if (out.fd < 0) return std::strerror(errno);
  fchmod(out.fd, 0644);  // a picture, readable like the files cairo made
  const cairo_status_t status = cairo_surface_write_to_png_stream(picture, WriteToFile, &out);
  std::string reason = status == CAIRO_STATUS_SUCCESS ? ""
                       : out.error != 0               ? std::strerror(out.error)
                                                      : cairo_status_to_string(status);
  if (close(out.fd) != 0 && reason.empty()) reason = std::strerror(errno);
  if (reason.empty() && rename(temporary.c_str(), (folder + "/" + name).c_str()) != 0)
    reason = std::strerror(errno);
  if (!reason.empty()) unlink(temporary.c_str());
  return reason;
}

std::string FrameFileName(unsigned index) {
  char name[32];
  std::snprintf(name, sizeof name, "frame-%04u.png", index);
  return name;
}

}  // namespace Platform::Render
