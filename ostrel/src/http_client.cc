#include "http_client.h"

#include "message_writer.h"

namespace TaviServices {

bool HttpClient::SendEvents(std::string url, std::vector<std::string> headers,
                            const EventBatch& batch) {
  return SendRequest(std::move(url), std::move(headers), WriteEventsBody(batch));
}

}  // namespace TaviServices
