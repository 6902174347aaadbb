// ASCII case rules for URL schemes, hosts and HTTP header names, which are
// ASCII whatever the process's locale.
#pragma once

#include <string>
#include <string_view>

namespace Delivery {

inline char AsciiLower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

inline std::string AsciiLower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = AsciiLower(c);
  return lower;
}

// Whether `text` starts with `lowerPrefix` (given in lower case), ignoring case.
inline bool StartsWithNoCase(std::string_view text, std::string_view lowerPrefix) {
  if (text.size() < lowerPrefix.size()) return false;
  for (std::size_t i = 0; i < lowerPrefix.size(); ++i) {
    if (AsciiLower(text[i]) != lowerPrefix[i]) return false;
  }
  return true;
}

}  // namespace Delivery
