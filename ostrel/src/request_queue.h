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
                  const Ostrel::EventBatch& batch) override;

  std::int32_t MessagesCount() const;

  // The oldest message (nullptr when none waits) and its removal: a caller
  // copies the message out before it leaves the queue.
  const std::string* OldestMessage() const;
  void DropOldestMessage();

 private:
  std::deque<std::string> messages;
};

}  // namespace Zel
