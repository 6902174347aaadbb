#include "custom_attributes_model.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

using nlohmann::json;

namespace {

bool ByteOrderLess(const std::string& left, const std::string& right) {
  const int common = std::memcmp(left.data(), right.data(), std::min(left.size(), right.size()));
  return common != 0 ? common < 0 : left.size() < right.size();
}

// IEEE 754 narrowing, also beyond the float range, where a conversion would
// be undefined in C++: the double's significand rounded to 24 bits (ties to
// even), infinity once the result exceeds the largest float.
double NarrowedToFloat(double value) {
  constexpr double kLargest = std::numeric_limits<float>::max();
  if (!std::isfinite(value) || std::fabs(value) <= kLargest) return static_cast<float>(value);
  int exponent = 0;
  const double significand = std::frexp(value, &exponent);
  const double narrowed = std::ldexp(std::nearbyint(std::ldexp(significand, 24)), exponent - 24);
  return std::fabs(narrowed) <= kLargest
             ? narrowed
             : std::copysign(std::numeric_limits<double>::infinity(), value);
}

void AddValue(ExpectedValues& values, const std::string& key, const json& value) {
  if (value.is_string()) {
    values.attributes.emplace_back(key, value.get<std::string>());
  } else if (value.is_number_unsigned()) {
    const std::uint64_t number = value.get<std::uint64_t>();
    values.metrics.emplace_back(key, static_cast<double>(number & 0xFFFFFFFFu));
  } else if (value.is_number_integer()) {
    const std::uint64_t bits = static_cast<std::uint64_t>(value.get<std::int64_t>());
    const std::uint32_t low = static_cast<std::uint32_t>(bits & 0xFFFFFFFFu);
    const double signedLow =
        low >= 0x80000000u ? static_cast<double>(low) - 4294967296.0 : static_cast<double>(low);
    values.metrics.emplace_back(key, signedLow);
  } else if (value.is_number_float()) {
    values.metrics.emplace_back(key, NarrowedToFloat(value.get<double>()));
  }
}

}  // namespace

ExpectedValues ConvertAttributes(const json& attributes) {
  ExpectedValues values;
  if (attributes.is_object()) {
    std::vector<std::string> keys;
    for (auto member = attributes.begin(); member != attributes.end(); ++member) {
      keys.push_back(member.key());
    }
    std::sort(keys.begin(), keys.end(), ByteOrderLess);
    for (const std::string& key : keys) AddValue(values, key, attributes.at(key));
  } else if (attributes.is_array()) {
    for (std::size_t index = 0; index < attributes.size(); ++index) {
      AddValue(values, std::to_string(index), attributes[index]);
    }
  } else if (!attributes.is_null()) {
    AddValue(values, "", attributes);
  }
  return values;
}
