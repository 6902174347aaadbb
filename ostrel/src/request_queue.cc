#include "request_queue.h"

#include <algorithm>
#include <limits>

#include "message_writer.h"

namespace Zel {

bool TaviServicesHttpClientCurl::SendRequest(std::string url, std::vector<std::string> headers,
                                             std::string body) {
  messages.push_back(Ostrel::WriteRequestMessage(url, headers, body));
  return true;
}

bool TaviServicesHttpClientCurl::SendEvents(std::string url, std::vector<std::string> headers,
                                            const Ostrel::EventBatch& batch) {
  messages.push_back(Ostrel::WriteEventsMessage(url, headers, batch));
  return true;
}

std::int32_t TaviServicesHttpClientCurl::MessagesCount() const {
  constexpr std::size_t kMaxCount = std::numeric_limits<std::int32_t>::max();
  return static_cast<std::int32_t>(std::min(messages.size(), kMaxCount));
}

const std::string* TaviServicesHttpClientCurl::OldestMessage() const {
  return messages.empty() ? nullptr : &messages.front();
}

void TaviServicesHttpClientCurl::DropOldestMessage() {
  if (!messages.empty()) messages.pop_front();
}

}  // namespace Zel
