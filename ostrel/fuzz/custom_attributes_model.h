// The custom-event conversion rules, written independently of the library:
// which attributes and metrics a parsed attributes value must give.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <utility>
#include <vector>

struct ExpectedValues {
  std::vector<std::pair<std::string, std::string>> attributes;
  std::vector<std::pair<std::string, double>> metrics;
};

// Object members in ascending byte order of their keys, array elements with
// the keys "0", "1", ..., a lone value with the empty key. Strings become
// attributes; signed integers their low 32 bits as int32, unsigned ones as
// uint32; fractions narrowed to float; everything else is skipped.
ExpectedValues ConvertAttributes(const nlohmann::json& attributes);
