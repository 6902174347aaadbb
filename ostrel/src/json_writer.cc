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
// received.
void JsonWriter::Number(double value) {
  if (!std::isfinite(value)) {
    out.append("null", 4);
    return;
  }
  char digits[64];
  const char* end = nlohmann::detail::to_chars(digits, digits + sizeof digits, value);
  out.append(digits, static_cast<std::size_t>(end - digits));
}

}  // namespace Ostrel
