// The library's HTTP client: it sends nothing itself but queues each request
// as a RequestMessage text {"data","headers","url"} that the game takes out
// and sends.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "http_client.h"
#include "message_writer.h"
#include "text_buffer.h"

namespace Zel {

class TaviServicesHttpClientCurl final : public TaviServices::HttpClient {
 public:
  bool SendRequest(std::string url, std::vector<std::string> headers, std::string body) override;

  // The same message as SendRequest with the batch's body, written in one
  // pass.
  bool SendEvents(std::string url, std::vector<std::string> headers,
                  const Ostrel::EventBatch& batch) override;

  std::int32_t MessagesCount() const;

  // The oldest message; nullptr when none waits.
  const Ostrel::TextBuffer* OldestMessage() const;

  // Takes the oldest message out of the queue as a text the caller owns
  // (TextBuffer::Release). Null when none waits, or when memory runs out,
  // the message then staying queued.
  char* TakeOldestMessage();

  void DropOldestMessage();

 private:
  Ostrel::MessageWriter writer;
  std::deque<Ostrel::TextBuffer> messages;
};

}  // namespace Zel
