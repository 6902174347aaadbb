// Every JSON text the library produces is written here, straight into a
// text buffer without building a document, in the one format the collection
// service reads: compact, object keys in byte order (the writer's callers
// write them so), UTF-8 copied unchanged, ill-formed UTF-8 written as U+FFFD
// so that one bad text can never block an upload, and numbers as nlohmann
// json writes them.
//
// At JsonDepth::kTwice the text comes out escaped once more, ready to stand
// inside a JSON string: the events of a request message are written once,
// already as the content of its "data" string. Writers of both depths may
// write into the same buffer one after the other.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "json_escape.h"
#include "text_buffer.h"

namespace Ostrel {

// An integer in plain decimal, formatted once and written as often as needed.
class JsonInteger {
 public:
  explicit JsonInteger(std::int64_t value);
  std::string_view Text() const { return {digits, length}; }

 private:
  char digits[24];
  std::size_t length;
};

class JsonWriter {
 public:
  JsonWriter(TextBuffer& out, JsonDepth depth) : out(out), depth(depth) {}

  // Text that is already in the writer's depth: punctuation, or pieces this
  // writer (or one of the same depth) wrote before.
  void Raw(std::string_view text) { out.Append(text); }
  void Raw(char c) { out.Append(c); }

  // A fixed piece of JSON text such as keys with their quotation marks,
  // escaped when the writer writes inside a string.
  void Fixed(std::string_view json);

  // The quotation mark around strings and keys.
  void Quote() {
    if (depth == JsonDepth::kOnce) {
      out.Append('"');
    } else {
      out.Append("\\\"");
    }
  }

  // String content without the quotation marks.
  void Escaped(std::string_view text) { AppendEscaped(out, text, depth); }

  void String(std::string_view text) {
    Quote();
    Escaped(text);
    Quote();
  }

  void Integer(std::int64_t value) { Raw(JsonInteger(value).Text()); }

  // Shortest form that reads back to the same double, always with a decimal
  // point or an exponent (7 is 7.0); null when the value is not finite.
  void Number(double value);

 private:
  TextBuffer& out;
  JsonDepth depth;
};

}  // namespace Ostrel
