// The library's lifecycle: the three process-wide objects behind the exports,
// their creation by Init and destruction by Destroy, the timed flush and the
// request queue the game drains.
//
// Names and where they live. The design's names (global, TaviServices::,
// Zel::) are kept as the design gives them; the library's own parts are in
// Ostrel::.
//
//   Name                              Role                                  File
//   Tavi_*                            the nineteen C exports                exports.cc
//   Ostrel::Library                   the state behind the exports          library.h
//   ServicesClient                    context and session; records events  services_client.h
//   EventRecorder                     buffers events, flushes a request     event_recorder.h
//   AnalyticsEvent                    one event in memory                   analytics_event.h
//   TaviServices::HttpClient          where requests go (interface)         http_client.h
//   TaviServices::UtilsClient         ids and key-value store (interface)   utils_client.h
//   Zel::TaviServicesHttpClientCurl   the request queue; does no HTTP       request_queue.h
//   Zel::TaviServicesUtilsClient      in-memory store, empty ids            utils_client.h
//   Ostrel::GameEvents::              the built-in and custom events        game_events.h
//   Ostrel::ReadCustomAttributes      a custom event's JSON, read           custom_attributes.h
//   Ostrel::EventCategory             category code and key prefixes        event_category.h
//   Ostrel::SerializationContext      who and where, read at flush time     serialization_context.h
//   Ostrel::EventSerializer           events as JSON, in one pass           event_serializer.h
//   Ostrel::MessageWriter             the queued message text               message_writer.h
//   Ostrel::TextBuffer                a text in the memory handed out       text_buffer.h
//   Ostrel::JsonWriter                JSON text, numbers                    json_writer.h
//   Ostrel::AppendEscaped             JSON string escaping                  json_escape.h
//   Ostrel::SkipPlain, ScanUtf8       bytes kept as they are, UTF-8         plain_ascii.h, utf8.h
//   Ostrel::Clock::                   the time source                       clock.h
//   Ostrel::Constants::               values fixed at build time            constants.h
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "request_queue.h"
#include "services_client.h"
#include "text_buffer.h"
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

  // The request queue, in any state.
  std::int32_t MessagesCount() const;
  const TextBuffer* OldestMessage() const;
  // See Zel::TaviServicesHttpClientCurl::TakeOldestMessage.
  char* TakeOldestMessage();
  void DropOldestMessage();

 private:
  std::unique_ptr<ServicesClient> servicesClient;
  std::unique_ptr<Zel::TaviServicesUtilsClient> utilsClient;
  std::unique_ptr<Zel::TaviServicesHttpClientCurl> httpClient;
};

}  // namespace Ostrel
