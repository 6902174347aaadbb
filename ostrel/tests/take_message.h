// Takes the oldest message out of a queueing HTTP client as the export does,
// and releases the text as a C caller does; the empty text when none waits.
#pragma once

#include <string>

#include "release_text.h"
#include "request_queue.h"

inline std::string TakeMessage(Zel::TaviServicesHttpClientCurl& queue) {
  char* text = queue.TakeOldestMessage();
  if (text == nullptr) return {};
  std::string copy = text;
  ReleaseText(text);
  return copy;
}
