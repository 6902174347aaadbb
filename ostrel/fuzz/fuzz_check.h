// Invariant checks of the library's fuzz targets: a violation prints what was
// expected and what came out, then aborts so that libFuzzer keeps the input.
#pragma once

#include <string>

namespace FuzzCheck {

[[noreturn]] void Fail(const std::string& what, const std::string& expected = {},
                       const std::string& actual = {});

inline void Require(bool condition, const char* what) {
  if (!condition) Fail(what);
}

}  // namespace FuzzCheck
