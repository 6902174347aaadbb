// The attributes text of a custom event, read by nlohmann json's parser
// (strict JSON, a leading UTF-8 byte order mark allowed) through its SAX
// interface, without building a document. What it yields is what the
// document's items() would: an object's members in byte order of their keys
// (a later duplicate replaces an earlier one), an array's elements under the
// keys "0", "1", ..., or a lone value under the empty key (none for null).
// Strings and numbers are kept as the parser reads them; other values
// (nested ones included) are checked by the parser and skipped.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace Ostrel {

struct CustomValue {
  enum class Kind {
    kText,      // text
    kSigned,    // signedInteger: an integer written with a minus sign
    kUnsigned,  // unsignedInteger: any other integer
    kFraction,  // fraction: written with a fraction or an exponent, or an
                // integer beyond 64 bits
    kOther,     // true, false, null, objects and arrays
  };

  std::string key;
  Kind kind = Kind::kOther;
  std::string text;
  std::int64_t signedInteger = 0;
  std::uint64_t unsignedInteger = 0;
  double fraction = 0;
};

// False when `json` is not one JSON value: then `values` is unspecified.
// Numbers too large for a double (1e400) are not JSON here.
bool ReadCustomAttributes(std::string_view json, std::vector<CustomValue>& values);

}  // namespace Ostrel
