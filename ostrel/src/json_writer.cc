#include "json_writer.h"

#include <charconv>
#include <cmath>

#include <nlohmann/json.hpp>

namespace Ostrel {

JsonInteger::JsonInteger(std::int64_t value)
    : length(static_cast<std::size_t>(std::to_chars(digits, digits + sizeof digits, value).ptr -
                                      digits)) {}

// Fixed JSON text placed inside a string is escaped once.
void JsonWriter::Fixed(std::string_view json) {
  if (depth == JsonDepth::kOnce) {
    Raw(json);
  } else {
    AppendEscaped(out, json, JsonDepth::kOnce);
  }
}

// nlohmann's own conversion (Grisu2 with its ".0" and exponent rules), so
// that every metric keeps the exact text the collection service has always
// received. A whole number below 10^15 comes out of it as its digits and
// ".0" (the shortest digits of such a number are its own), which is written
// here without the conversion; zero keeps its sign ("-0.0").
void JsonWriter::Number(double value) {
  if (!std::isfinite(value)) {
    Raw("null");
    return;
  }
  char digits[64];
  if (value != 0 && std::fabs(value) < 1e15 && value == std::trunc(value)) {
    char* end = std::to_chars(digits, digits + sizeof digits, static_cast<std::int64_t>(value)).ptr;
    *end++ = '.';
    *end++ = '0';
    Raw({digits, static_cast<std::size_t>(end - digits)});
    return;
  }
  const char* end = nlohmann::detail::to_chars(digits, digits + sizeof digits, value);
  Raw({digits, static_cast<std::size_t>(end - digits)});
}

}  // namespace Ostrel
