// Takes the oldest message out of a queueing HTTP client as the export does:
// a copy first, then its removal; the empty text when none waits.
#pragma once

#include <string>

#include "request_queue.h"

inline std::string TakeMessage(Zel::TaviServicesHttpClientCurl& queue) {
  const std::string* oldest = queue.OldestMessage();
  if (oldest == nullptr) return {};
  std::string text = *oldest;
  queue.DropOldestMessage();
  return text;
}
