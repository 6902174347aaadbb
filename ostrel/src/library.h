// The library's lifecycle: the three process-wide objects behind the exports,
// their creation by Init and destruction by Destroy, the timed flush and the
// request queue the game drains.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "request_queue.h"
#include "services_client.h"
#include "utils_client.h"

namespace Ostrel {

class Library {
 public:
  // With a non-empty identifier while uninitialised: creates the three
  // objects and opens a session. While initialised the identifier is ignored;
  // utilities and HTTP client are attached again.
  void Init(std::string projectId);

  void Update();

  // Closes the session and releases the services and utilities clients. The
  // request queue survives, so messages still waiting can be taken afterwards
  // and stay ahead of a later session's messages.
  void Destroy();

  bool Initialised() const { return servicesClient != nullptr; }

  // Null while uninitialised.
  ServicesClient* Services() { return servicesClient.get(); }

  std::int32_t MessagesCount() const;
  const std::string* OldestMessage() const;
  void DropOldestMessage();

 private:
  std::unique_ptr<ServicesClient> servicesClient;
  std::unique_ptr<Zel::TaviServicesUtilsClient> utilsClient;
  std::unique_ptr<Zel::TaviServicesHttpClientCurl> httpClient;
};

}  // namespace Ostrel
