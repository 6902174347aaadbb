// Texts inside JSON strings, escaped byte for byte as nlohmann json writes
// them with its replacing error handler: quotation mark and backslash get a
// backslash, \b \f \n \r \t stand for their control bytes, the other bytes
// below 0x20 become \u00xx (lower-case hex), the slash and valid UTF-8 are
// copied, and each ill-formed UTF-8 sequence becomes one U+FFFD.
#pragma once

#include <string>
#include <string_view>

#include "plain_ascii.h"
#include "text_buffer.h"

namespace Ostrel {

// How often a text is escaped: once inside a JSON document, twice inside a
// JSON document that itself is the content of a JSON string (the events in
// the "data" member of a request message).
enum class JsonDepth { kOnce, kTwice };

void AppendEscapedSlowly(TextBuffer& out, std::string_view text, JsonDepth depth);

// Texts mostly need no escaping: those are copied in one piece.
inline void AppendEscaped(TextBuffer& out, std::string_view text, JsonDepth depth) {
  if (AllPlain(text)) {
    out.Append(text);
  } else {
    AppendEscapedSlowly(out, text, depth);
  }
}

// The same, as a string of its own.
std::string Escaped(std::string_view text, JsonDepth depth);

}  // namespace Ostrel
