#include "page/manifest_splash_color.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <stdexcept>
#include <string>

#include "platform/debug_output.h"
#include "platform/ui_element.h"
#include "platform/win32_file.h"

namespace Corvane {
namespace {

constexpr char16_t kManifestName[] = u"AppxManifest.xml";
constexpr std::string_view kSplashScreenMarker = "SplashScreen";
constexpr std::string_view kBackgroundColorMarker = "BackgroundColor";
constexpr std::string_view kTransparent = "transparent";

// Closes the file when it leaves scope, also when a parse failure is raised.
class ScopedFileHandle {
 public:
  explicit ScopedFileHandle(HANDLE handle) : handle_(handle) {}
  ~ScopedFileHandle() {
    if (IsValid()) CloseHandle(handle_);
  }
  ScopedFileHandle(const ScopedFileHandle&) = delete;
  ScopedFileHandle& operator=(const ScopedFileHandle&) = delete;

  bool IsValid() const { return handle_ != INVALID_HANDLE_VALUE; }
  HANDLE Get() const { return handle_; }

 private:
  HANDLE handle_;
};

// The whole file in one read; nothing unless every byte of it arrived. A
// file over the limit is not read, and the debug output says why.
std::optional<std::string> ReadWholeFile(HANDLE file) {
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file, &size)) return std::nullopt;
  if (static_cast<std::uint64_t>(size.QuadPart) > kMaxManifestBytes) {
    const std::string why = std::to_string(size.QuadPart) + " bytes, more than the " +
                            std::to_string(kMaxManifestBytes) + " a manifest may have";
    OutputDebugStringW((std::u16string(kManifestName) + u": no splash colour: " +
                        std::u16string(why.begin(), why.end()))
                           .c_str());
    return std::nullopt;
  }
  const auto toRead = static_cast<DWORD>(static_cast<std::uint64_t>(size.QuadPart));
  std::string bytes(toRead, '\0');
  DWORD read = 0;
  if (!ReadFile(file, bytes.data(), toRead, &read, nullptr)) return std::nullopt;
  if (static_cast<std::uint64_t>(read) != static_cast<std::uint64_t>(size.QuadPart)) {
    return std::nullopt;
  }
  return bytes;
}

// Drops everything before the first occurrence of `marker`; false when absent.
bool SkipTo(std::string_view& text, std::string_view marker) {
  std::size_t at = text.find(marker);
  if (at == std::string_view::npos) return false;
  text.remove_prefix(at);
  return true;
}

// strtol with base 16 held to the 32-bit range, the way stoi behaves where a
// long is 32 bits wide.
std::int32_t ParseHexLikeStoi(const std::string& digits) {
  const char* begin = digits.c_str();
  char* end = nullptr;
  errno = 0;
  long number = std::strtol(begin, &end, 16);
  if (end == begin) throw std::invalid_argument("invalid stoi argument");
  if (errno == ERANGE || number < std::numeric_limits<std::int32_t>::min() ||
      number > std::numeric_limits<std::int32_t>::max()) {
    throw std::out_of_range("stoi argument out of range");
  }
  return static_cast<std::int32_t>(number);
}

}  // namespace

Windows::UI::Color ToPlatformColor(const SplashColor& color) {
  Windows::UI::Color platformColor;
  platformColor.A = color.transparent ? 0 : 255;
  platformColor.R = color.red;
  platformColor.G = color.green;
  platformColor.B = color.blue;
  return platformColor;
}

std::optional<SplashColor> ReadManifestSplashColor() {
  ScopedFileHandle manifest(
      CreateFile2(kManifestName, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, nullptr));
  if (!manifest.IsValid()) return std::nullopt;
  std::optional<std::string> text = ReadWholeFile(manifest.Get());
  if (!text) return std::nullopt;
  return SplashColorFromManifestText(*text);
}

std::optional<SplashColor> SplashColorFromManifestText(std::string_view manifest) {
  std::optional<std::string_view> value = FindSplashColorValue(manifest);
  if (!value) return std::nullopt;
  return ParseSplashColorValue(*value);
}

std::optional<std::string_view> FindSplashColorValue(std::string_view manifest) {
  std::string_view rest = manifest;
  if (!SkipTo(rest, kSplashScreenMarker)) return std::nullopt;
  if (!SkipTo(rest, kBackgroundColorMarker)) return std::nullopt;
  std::size_t open = rest.find('"');
  if (open == std::string_view::npos || open + 2 > rest.size()) return std::nullopt;
  rest.remove_prefix(open + 1);
  std::size_t close = rest.find('"');
  if (close == std::string_view::npos) return std::nullopt;
  return rest.substr(0, close);
}

std::optional<SplashColor> ParseSplashColorValue(std::string_view value) {
  if (value == kTransparent) return SplashColor{0, 0, 0, true};
  if (value.empty() || value.front() != '#') return std::nullopt;
  // The value is a slice of the manifest, not NUL-terminated: strtol needs a
  // copy of its own.
  const auto bits = static_cast<std::uint32_t>(ParseHexLikeStoi(std::string(value.substr(1))));
  return SplashColor{static_cast<std::uint8_t>(bits >> 16), static_cast<std::uint8_t>(bits >> 8),
                     static_cast<std::uint8_t>(bits), false};
}

}  // namespace Corvane
