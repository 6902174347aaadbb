// The library's HTTP client: it sends nothing itself but queues each request
// as a RequestMessage text {"data","headers","url"} that the game takes out
// and sends.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "http_client.h"

namespace Zel {

class TaviServicesHttpClientCurl final : public TaviServices::HttpClient {
 public:
  bool SendRequest(std::string url, std::vector<std::string> headers, std::string body) override;

  // The same message as SendRequest with the batch's body, written in one
  // pass.
  bool SendEvents(std::string url, std::vector<std::string> headers,
                  const EventBatch& batch) override;

  std::int32_t MessagesCount() const;

  // Removes and returns the oldest message; the empty text when none waits.
  std::string TakeMessage();

  // For callers that must copy a message out before it may leave the queue:
  // the oldest message (nullptr when none waits), and its removal.
  const std::string* OldestMessage() const;
  void DropOldestMessage();

 private:
  std::deque<std::string> messages;
};

}  // namespace Zel
