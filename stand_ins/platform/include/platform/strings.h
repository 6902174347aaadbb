// Conversions between the platform's UTF-16 strings and UTF-8 byte strings.
#pragma once

#include <string>
#include <string_view>

namespace Platform {

// UTF-16 to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string ToUtf8(std::u16string_view text);

// UTF-8 to UTF-16; every invalid or truncated sequence becomes U+FFFD.
std::u16string FromUtf8(std::string_view text);

}  // namespace Platform
