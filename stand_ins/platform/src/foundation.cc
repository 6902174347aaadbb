#include "platform/foundation.h"

namespace Windows::Foundation {
namespace {

bool IsSchemeChar(char16_t c, bool first) {
  const bool alpha = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
  if (first) return alpha;
  return alpha || (c >= u'0' && c <= u'9') || c == u'+' || c == u'-' || c == u'.';
}

char16_t Lower(char16_t c) { return (c >= u'A' && c <= u'Z') ? c + (u'a' - u'A') : c; }

Platform::String Lowered(Platform::String text) {
  for (auto& c : text) c = Lower(c);
  return text;
}

}  // namespace

Uri::Uri(const Platform::String& uri) : rawUri_(uri) {
  const auto colon = uri.find(u':');
  if (colon == Platform::String::npos || colon == 0) {
    throw Platform::InvalidArgumentException(u"not an absolute URI: " + uri);
  }
  for (std::size_t i = 0; i < colon; ++i) {
    if (!IsSchemeChar(uri[i], i == 0)) {
      throw Platform::InvalidArgumentException(u"not an absolute URI: " + uri);
    }
  }
  schemeName_ = Lowered(uri.substr(0, colon));
  Platform::String rest = uri.substr(colon + 1);
  if (rest.rfind(u"//", 0) == 0) {
    const auto end = rest.find_first_of(u"/?#", 2);
    Platform::String authority = rest.substr(2, end == Platform::String::npos ? end : end - 2);
    if (authority.find(u'@') == Platform::String::npos) authority = Lowered(authority);
    Platform::String tail = end == Platform::String::npos ? Platform::String() : rest.substr(end);
    if (tail.empty() || tail[0] != u'/') tail = u"/" + tail;
    rest = u"//" + authority + tail;
  }
  absoluteUri_ = schemeName_ + u":" + rest;
}

}  // namespace Windows::Foundation
