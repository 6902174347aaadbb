// Feeds arbitrary bytes to the manifest colour text steps. The only outcomes
// allowed are a colour, no colour, or one of the two parse failures with its
// exact message; the colour must agree with the value that was found.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "page/manifest_splash_color.h"
#include "platform/ui_element.h"

namespace {

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "manifest_color_fuzz: %s\n", what);
  std::abort();
}

void Check(bool condition, const char* what) {
  if (!condition) Fail(what);
}

// What std::stoi with base 16 makes of the digits: stoi holds the result to
// the 32-bit int range whatever the width of long.
enum class Expected { kNumber, kInvalid, kOutOfRange };

Expected StoiOutcome(const std::string& digits, int& number) {
  try {
    number = std::stoi(digits, nullptr, 16);
    return Expected::kNumber;
  } catch (const std::invalid_argument&) {
    return Expected::kInvalid;
  } catch (const std::out_of_range&) {
    return Expected::kOutOfRange;
  }
}

void CheckColourOfValue(std::string_view value, const std::optional<Corvane::SplashColor>& color) {
  if (color) {
    Windows::UI::Color argb = Corvane::ToPlatformColor(*color);
    Check(argb.A == (color->transparent ? 0 : 255) && argb.R == color->red &&
              argb.G == color->green && argb.B == color->blue,
          "platform colour differs from the splash colour");
  }
  if (value == "transparent") {
    Check(color && color->transparent && color->red == 0 && color->green == 0 && color->blue == 0,
          "\"transparent\" must give the transparent colour");
    return;
  }
  if (value.empty() || value.front() != '#') {
    Check(!color, "a value that is neither transparent nor '#' must give no colour");
    return;
  }
  Check(color && !color->transparent, "a '#' value that parsed must give an opaque colour");
  int number = 0;
  Check(StoiOutcome(std::string(value.substr(1)), number) == Expected::kNumber,
        "stoi failed where the parse succeeded");
  auto bits = static_cast<std::uint32_t>(number);
  Check(color->red == ((bits >> 16) & 0xFF) && color->green == ((bits >> 8) & 0xFF) &&
            color->blue == (bits & 0xFF),
        "colour differs from the number stoi reads");
}

void CheckFailureOfValue(std::string_view value, Expected failure) {
  Check(!value.empty() && value.front() == '#', "a parse failure needs a '#' value");
  int number = 0;
  Check(StoiOutcome(std::string(value.substr(1)), number) == failure,
        "the failure differs from the one stoi raises");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view manifest(reinterpret_cast<const char*>(data), size);
  std::optional<std::string_view> value = Corvane::FindSplashColorValue(manifest);
  if (value) {
    Check(value->data() >= manifest.data() &&
              value->data() + value->size() < manifest.data() + manifest.size() &&
              value->data()[value->size()] == '"' && value->find('"') == std::string_view::npos,
          "the value must lie inside the manifest and end before a double quote");
  }
  try {
    std::optional<Corvane::SplashColor> color = Corvane::SplashColorFromManifestText(manifest);
    if (!value) {
      Check(!color, "a colour without a value");
    } else {
      CheckColourOfValue(*value, color);
    }
  } catch (const std::invalid_argument& e) {
    Check(std::strcmp(e.what(), "invalid stoi argument") == 0, "wrong invalid-argument message");
    Check(value.has_value(), "a failure without a value");
    CheckFailureOfValue(*value, Expected::kInvalid);
  } catch (const std::out_of_range& e) {
    Check(std::strcmp(e.what(), "stoi argument out of range") == 0, "wrong out-of-range message");
    Check(value.has_value(), "a failure without a value");
    CheckFailureOfValue(*value, Expected::kOutOfRange);
  } catch (...) {
    Fail("an exception other than the two parse failures");
  }
  return 0;
}
