#include "http_client.h"

#include "message_writer.h"

namespace TaviServices {

bool HttpClient::SendEvents(std::string url, std::vector<std::string> headers,
                            const Ostrel::EventBatch& batch) {
  return SendRequest(std::move(url), std::move(headers), Ostrel::WriteEventsBody(batch));
}

}  // namespace TaviServices
