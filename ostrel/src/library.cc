#include "library.h"

#include "clock.h"

namespace Ostrel {

void Library::Init(std::string projectId) {
  if (!servicesClient) {
    if (projectId.empty()) return;
    servicesClient = std::make_unique<ServicesClient>(std::move(projectId));
  }
  if (!utilsClient) utilsClient = std::make_unique<Zel::TaviServicesUtilsClient>();
  if (!httpClient) httpClient = std::make_unique<Zel::TaviServicesHttpClientCurl>();
  servicesClient->AttachUtilities(utilsClient.get());
  servicesClient->SetHttpClient(httpClient.get());
}

void Library::Update() {
  if (servicesClient) servicesClient->FlushIfDue(Clock::NowSeconds());
}

void Library::Destroy() {
  if (servicesClient) {
    servicesClient->Teardown();
    servicesClient.reset();
  }
  utilsClient.reset();
}

std::int32_t Library::MessagesCount() const { return httpClient ? httpClient->MessagesCount() : 0; }

const TextBuffer* Library::OldestMessage() const {
  return httpClient ? httpClient->OldestMessage() : nullptr;
}

char* Library::TakeOldestMessage() {
  return httpClient ? httpClient->TakeOldestMessage() : nullptr;
}

void Library::DropOldestMessage() {
  if (httpClient) httpClient->DropOldestMessage();
}

}  // namespace Ostrel
