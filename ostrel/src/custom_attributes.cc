#include "custom_attributes.h"

#include <algorithm>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <numeric>
#include <system_error>

#include "plain_ascii.h"
#include "utf8.h"

namespace Ostrel {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// In byte order of the keys, the last of equal keys kept. Objects mostly
// have a few members: those are sorted by insertion; larger ones through an
// order of their places, so that the values themselves move once.
void SortByKeyKeepingLast(std::vector<CustomValue>& values) {
  const auto byKey = [](const CustomValue& a, const CustomValue& b) { return a.key < b.key; };
  if (values.size() <= 16) {
    for (auto next = values.begin(); next != values.end(); ++next) {
      std::rotate(std::upper_bound(values.begin(), next, *next, byKey), next, next + 1);
    }
  } else {
    std::vector<std::size_t> order(values.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return byKey(values[a], values[b]); });
    std::vector<CustomValue> sorted;
    sorted.reserve(values.size());
    for (std::size_t place : order) sorted.push_back(std::move(values[place]));
    values.swap(sorted);
  }
  auto kept = values.begin();
  for (auto value = values.begin(); value != values.end(); ++value) {
    if (value + 1 != values.end() && value[1].key == value->key) continue;
    if (kept != value) *kept = std::move(*value);
    ++kept;
  }
  values.erase(kept, values.end());
}

// Reads one JSON text from the front; every Read* and Skip* function returns
// false on text that is not JSON.
class Reader {
 public:
  explicit Reader(std::string_view text) : p(text.data()), end(text.data() + text.size()) {}

  bool ReadAll(std::vector<CustomValue>& values);

 private:
  void SkipSpace() {
    while (p != end && (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r')) ++p;
  }
  bool Take(char c) {
    SkipSpace();
    if (p == end || *p != c) return false;
    ++p;
    return true;
  }
  bool At(char c) {
    SkipSpace();
    return p != end && *p == c;
  }

  bool ReadObject(std::vector<CustomValue>& values);
  bool ReadArray(std::vector<CustomValue>& values);
  bool ReadValue(CustomValue& value);
  bool ReadString(std::string& out);
  bool ReadEscape(std::string& out);
  bool ReadHex(unsigned& codePoint);
  bool ReadNumber(CustomValue& value);
  bool ReadFraction(std::string_view token, CustomValue& value);
  bool SkipLiteral(std::string_view word);
  bool SkipNested();

  const char* p;
  const char* const end;
  std::string scratch;
};

bool Reader::ReadAll(std::vector<CustomValue>& values) {
  values.clear();
  if (end - p >= 3 && std::string_view(p, 3) == "\xEF\xBB\xBF") p += 3;
  bool read = false;
  if (At('{')) {
    read = ReadObject(values);
  } else if (At('[')) {
    read = ReadArray(values);
  } else if (At('n')) {
    read = SkipLiteral("null");  // null has no items
  } else {
    values.emplace_back();
    read = ReadValue(values.back());
  }
  SkipSpace();
  return read && p == end;
}

bool Reader::ReadObject(std::vector<CustomValue>& values) {
  ++p;
  if (!At('}')) {
    do {
      values.emplace_back();
      if (!At('"') || !ReadString(values.back().key) || !Take(':') || !ReadValue(values.back())) {
        return false;
      }
    } while (Take(','));
  }
  if (!Take('}')) return false;
  SortByKeyKeepingLast(values);
  return true;
}

bool Reader::ReadArray(std::vector<CustomValue>& values) {
  ++p;
  if (!At(']')) {
    do {
      values.emplace_back();
      values.back().key = std::to_string(values.size() - 1);
      if (!ReadValue(values.back())) return false;
    } while (Take(','));
  }
  return Take(']');
}

bool Reader::ReadValue(CustomValue& value) {
  SkipSpace();
  if (p == end) return false;
  switch (*p) {
    case '"':
      value.kind = CustomValue::Kind::kText;
      return ReadString(value.text);
    case '{':
    case '[':
      return SkipNested();
    case 't':
      return SkipLiteral("true");
    case 'f':
      return SkipLiteral("false");
    case 'n':
      return SkipLiteral("null");
    default:
      return ReadNumber(value);
  }
}

// At the opening quotation mark. Control bytes and ill-formed UTF-8 are not
// JSON; runs of other bytes are copied whole.
bool Reader::ReadString(std::string& out) {
  out.clear();
  ++p;
  while (true) {
    const char* run = p;
    p = reinterpret_cast<const char*>(SkipPlain(reinterpret_cast<const unsigned char*>(p),
                                                reinterpret_cast<const unsigned char*>(end)));
    out.append(run, static_cast<std::size_t>(p - run));
    if (p == end) return false;
    const auto byte = static_cast<unsigned char>(*p);
    if (byte == '"') {
      ++p;
      return true;
    }
    if (byte == '\\') {
      if (!ReadEscape(out)) return false;
    } else if (byte < 0x20) {
      return false;
    } else {
      const auto* bytes = reinterpret_cast<const unsigned char*>(p);
      const Utf8Sequence sequence = ScanUtf8(bytes, reinterpret_cast<const unsigned char*>(end));
      if (!sequence.valid) return false;
      out.append(p, sequence.length);
      p += sequence.length;
    }
  }
}

// At the backslash. A \u escape of a high surrogate must be followed by one
// of a low surrogate; a lone low surrogate is not JSON.
bool Reader::ReadEscape(std::string& out) {
  if (++p == end) return false;
  const char kind = *p++;
  switch (kind) {
    case '"':
    case '\\':
    case '/':
      out.push_back(kind);
      return true;
    case 'b':
      out.push_back('\b');
      return true;
    case 'f':
      out.push_back('\f');
      return true;
    case 'n':
      out.push_back('\n');
      return true;
    case 'r':
      out.push_back('\r');
      return true;
    case 't':
      out.push_back('\t');
      return true;
    case 'u':
      break;
    default:
      return false;
  }
  unsigned codePoint = 0;
  if (!ReadHex(codePoint) || (codePoint >= 0xDC00 && codePoint <= 0xDFFF)) return false;
  if (codePoint >= 0xD800 && codePoint <= 0xDBFF) {
    unsigned low = 0;
    if (end - p < 2 || p[0] != '\\' || p[1] != 'u') return false;
    p += 2;
    if (!ReadHex(low) || low < 0xDC00 || low > 0xDFFF) return false;
    codePoint = 0x10000 + ((codePoint - 0xD800) << 10) + (low - 0xDC00);
  }
  if (codePoint < 0x80) {
    out.push_back(static_cast<char>(codePoint));
  } else if (codePoint < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (codePoint >> 6)));
    out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
  } else if (codePoint < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (codePoint >> 12)));
    out.push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (codePoint >> 18)));
    out.push_back(static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
  }
  return true;
}

bool Reader::ReadHex(unsigned& codePoint) {
  if (end - p < 4) return false;
  for (int i = 0; i < 4; ++i, ++p) {
    const char c = *p;
    unsigned digit = 0;
    if (IsDigit(c)) {
      digit = static_cast<unsigned>(c - '0');
    } else if (c >= 'a' && c <= 'f') {
      digit = static_cast<unsigned>(c - 'a' + 10);
    } else if (c >= 'A' && c <= 'F') {
      digit = static_cast<unsigned>(c - 'A' + 10);
    } else {
      return false;
    }
    codePoint = codePoint * 16 + digit;
  }
  return true;
}

// -?(0|[1-9][0-9]*)(.[0-9]+)?([eE][+-]?[0-9]+)? . An integer is kept as a
// signed 64-bit number when written with a minus sign and as an unsigned one
// otherwise; one that does not fit is read as a fraction.
bool Reader::ReadNumber(CustomValue& value) {
  const char* const start = p;
  const bool negative = p != end && *p == '-';
  if (negative) ++p;
  const char* const digits = p;
  if (p == end || !IsDigit(*p)) return false;
  if (*p++ != '0') {
    while (p != end && IsDigit(*p)) ++p;
  }
  const char* const digitsEnd = p;
  bool whole = true;
  if (p != end && *p == '.') {
    whole = false;
    if (++p == end || !IsDigit(*p)) return false;
    while (p != end && IsDigit(*p)) ++p;
  }
  if (p != end && (*p == 'e' || *p == 'E')) {
    whole = false;
    if (++p != end && (*p == '+' || *p == '-')) ++p;
    if (p == end || !IsDigit(*p)) return false;
    while (p != end && IsDigit(*p)) ++p;
  }
  const std::string_view token(start, static_cast<std::size_t>(p - start));
  if (!whole) return ReadFraction(token, value);

  constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
  const std::uint64_t limit = negative ? std::uint64_t{1} << 63 : kMax;
  std::uint64_t magnitude = 0;
  for (const char* digit = digits; digit != digitsEnd; ++digit) {
    const auto next = static_cast<std::uint64_t>(*digit - '0');
    if (magnitude > (limit - next) / 10) return ReadFraction(token, value);
    magnitude = magnitude * 10 + next;
  }
  if (negative) {
    value.kind = CustomValue::Kind::kSigned;
    value.signedInteger = magnitude == limit ? std::numeric_limits<std::int64_t>::min()
                                             : -static_cast<std::int64_t>(magnitude);
  } else {
    value.kind = CustomValue::Kind::kUnsigned;
    value.unsignedInteger = magnitude;
  }
  return true;
}

// The double nearest to the text, as strtod gives it in the default rounding
// mode, which from_chars always uses. For a number from_chars finds beyond
// the double range (too large or too small), strtod itself is asked, with
// the locale's decimal point as it expects it. A result that is not finite
// is not JSON.
bool Reader::ReadFraction(std::string_view token, CustomValue& value) {
  value.kind = CustomValue::Kind::kFraction;
  const std::from_chars_result result =
      std::from_chars(token.data(), token.data() + token.size(), value.fraction);
  if (result.ec == std::errc::result_out_of_range) {
    const char* point = std::localeconv()->decimal_point;
    scratch.assign(token);
    std::replace(scratch.begin(), scratch.end(), '.', point != nullptr ? *point : '.');
    value.fraction = std::strtod(scratch.c_str(), nullptr);
  } else if (result.ec != std::errc() || result.ptr != token.data() + token.size()) {
    return false;  // not reached: the token is a JSON number
  }
  return std::isfinite(value.fraction);
}

bool Reader::SkipLiteral(std::string_view word) {
  if (static_cast<std::size_t>(end - p) < word.size() || std::string_view(p, word.size()) != word) {
    return false;
  }
  p += word.size();
  return true;
}

// Checks the object or array at `p` and moves past it. The open brackets are
// kept on a stack, not in recursion, so that any depth is read.
bool Reader::SkipNested() {
  std::string open(1, *p++);
  bool opened = true;  // an empty object or array may close at once
  CustomValue skipped;
  while (true) {
    const char close = open.back() == '{' ? '}' : ']';
    if (opened && At(close)) {
      ++p;
      open.pop_back();
    } else {
      if (open.back() == '{' && !(At('"') && ReadString(scratch) && Take(':'))) return false;
      if (At('{') || At('[')) {
        open.push_back(*p++);
        opened = true;
        continue;
      }
      if (!ReadValue(skipped)) return false;
    }
    // After an element: a comma, or the brackets it closes.
    while (true) {
      if (open.empty()) return true;
      if (Take(',')) break;
      if (!Take(open.back() == '{' ? '}' : ']')) return false;
      open.pop_back();
    }
    opened = false;
  }
}

}  // namespace

bool ReadCustomAttributes(std::string_view json, std::vector<CustomValue>& values) {
  return Reader(json).ReadAll(values);
}

}  // namespace Ostrel
