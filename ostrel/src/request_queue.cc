#include "request_queue.h"

#include <algorithm>
#include <limits>

#include <nlohmann/json.hpp>

#include "json_writer.h"

namespace Zel {

std::string WriteRequestMessage(const std::string& url, const std::vector<std::string>& headers,
                                const std::string& body) {
  nlohmann::json headerLines = nlohmann::json::array();
  for (const std::string& line : headers) headerLines.push_back(line);
  return WriteJson({{"url", url}, {"data", body}, {"headers", std::move(headerLines)}});
}

bool TaviServicesHttpClientCurl::SendRequest(std::string url, std::vector<std::string> headers,
                                             std::string body) {
  messages.push_back(WriteRequestMessage(url, headers, body));
  return true;
}

std::int32_t TaviServicesHttpClientCurl::MessagesCount() const {
  constexpr std::size_t maxCount = std::numeric_limits<std::int32_t>::max();
  return static_cast<std::int32_t>(std::min(messages.size(), maxCount));
}

std::string TaviServicesHttpClientCurl::TakeMessage() {
  if (messages.empty()) return {};
  std::string oldest = std::move(messages.front());
  messages.pop_front();
  return oldest;
}

const std::string* TaviServicesHttpClientCurl::OldestMessage() const {
  return messages.empty() ? nullptr : &messages.front();
}

void TaviServicesHttpClientCurl::DropOldestMessage() {
  if (!messages.empty()) messages.pop_front();
}

}  // namespace Zel
