#include "fuzz_check.h"

#include <cstdio>
#include <cstdlib>

namespace FuzzCheck {
namespace {

// Long texts are cut so that a finding stays readable: both start a little
// before the first byte where they differ.
std::string Shortened(const std::string& text, std::size_t from) {
  constexpr std::size_t kLimit = 1500;
  std::string shown = from > 0 ? "..." + text.substr(from, kLimit) : text.substr(0, kLimit);
  if (text.size() > from + kLimit) shown += "... (" + std::to_string(text.size()) + " bytes)";
  return shown;
}

std::size_t ShownFrom(const std::string& expected, const std::string& actual) {
  std::size_t same = 0;
  while (same < expected.size() && same < actual.size() && expected[same] == actual[same]) ++same;
  return same > 200 ? same - 100 : 0;
}

}  // namespace

void Fail(const std::string& what, const std::string& expected, const std::string& actual) {
  std::fprintf(stderr, "ostrel fuzz invariant violated: %s\n", what.c_str());
  const std::size_t from = ShownFrom(expected, actual);
  if (!expected.empty())
    std::fprintf(stderr, "  expected: %s\n", Shortened(expected, from).c_str());
  if (!actual.empty()) std::fprintf(stderr, "  actual:   %s\n", Shortened(actual, from).c_str());
  std::abort();
}

}  // namespace FuzzCheck
