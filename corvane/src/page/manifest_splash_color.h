// The splash screen's background colour declared in the package manifest.
//
// The manifest is searched as plain bytes, without an XML parser: the value is
// the text between the first two double quotes after the first
// "BackgroundColor" that follows the first "SplashScreen". So, by design: a
// <Logo> naming "SplashScreen.png" before the splash element is where the
// search starts, single-quoted attributes, UTF-16 manifests and named colours
// give no colour, and "#FFF" reads as the number 0xFFF (#FF000FFF).
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace Windows::UI {
struct Color;
}

namespace Corvane {

struct SplashColor {
  std::uint8_t red = 0;
  std::uint8_t green = 0;
  std::uint8_t blue = 0;
  bool transparent = false;
};

// The platform colour: R, G, B copied; A is 0 when transparent, else 255.
Windows::UI::Color ToPlatformColor(const SplashColor& color);

// A manifest larger than this gives no colour (real manifests have a few
// kilobytes); it is not read, and the debug output says so:
// "AppxManifest.xml: no splash colour: N bytes, more than the 1048576 a
// manifest may have".
inline constexpr std::uint64_t kMaxManifestBytes = 1u << 20;

// Reads "AppxManifest.xml" in the current folder (the package's install
// folder). No colour when the file cannot be opened (the file layer opens
// only regular files), sized or completely read, is larger than
// kMaxManifestBytes, or holds no usable value. Raises what ParseSplashColorValue raises; the file
// is closed on every path.
std::optional<SplashColor> ReadManifestSplashColor();

// The colour of a whole manifest text: FindSplashColorValue, then
// ParseSplashColorValue.
std::optional<SplashColor> SplashColorFromManifestText(std::string_view manifest);

// The bytes between the quotes of the splash background colour; may be empty.
std::optional<std::string_view> FindSplashColorValue(std::string_view manifest);

// "transparent", or '#' followed by a number read like stoi with base 16 and a
// 32-bit range. No colour for any other value. Raises std::invalid_argument
// ("invalid stoi argument") when no digit follows the '#', and
// std::out_of_range ("stoi argument out of range") when the number lies
// outside the 32-bit signed range.
std::optional<SplashColor> ParseSplashColorValue(std::string_view value);

}  // namespace Corvane
