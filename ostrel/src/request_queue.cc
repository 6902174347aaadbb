#include "request_queue.h"

#include <algorithm>
#include <limits>

namespace Zel {

bool TaviServicesHttpClientCurl::SendRequest(std::string url, std::vector<std::string> headers,
                                             std::string body) {
  messages.push_back(writer.RequestMessage(url, headers, body));
  return true;
}

bool TaviServicesHttpClientCurl::SendEvents(std::string url, std::vector<std::string> headers,
                                            const Ostrel::EventBatch& batch) {
  messages.push_back(writer.EventsMessage(url, headers, batch));
  return true;
}

std::int32_t TaviServicesHttpClientCurl::MessagesCount() const {
  constexpr std::size_t kMaxCount = std::numeric_limits<std::int32_t>::max();
  return static_cast<std::int32_t>(std::min(messages.size(), kMaxCount));
}

const Ostrel::TextBuffer* TaviServicesHttpClientCurl::OldestMessage() const {
  return messages.empty() ? nullptr : &messages.front();
}

char* TaviServicesHttpClientCurl::TakeOldestMessage() {
  if (messages.empty()) return nullptr;
  char* text = messages.front().Release();
  if (text != nullptr) messages.pop_front();
  return text;
}

void TaviServicesHttpClientCurl::DropOldestMessage() {
  if (!messages.empty()) messages.pop_front();
}

}  // namespace Zel
