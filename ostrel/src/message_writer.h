// The RequestMessage text of an upload request, the JSON object
// {"data":...,"headers":[...],"url":...} that the game takes from the queue.
#pragma once

#include <string>
#include <vector>

#include "event_serializer.h"
#include "text_buffer.h"

namespace Ostrel {

// Writes the messages of one queue, one after the other. What the events of
// a flush share is kept from one message to the next while the context stays
// the same.
class MessageWriter {
 public:
  // A message whose "data" is `body`, whatever text that is.
  TextBuffer RequestMessage(const std::string& url, const std::vector<std::string>& headers,
                            const std::string& body);

  // A message whose "data" is the body of `batch`, written in one pass: the
  // events go straight into the "data" string, already escaped for it. The
  // same text as RequestMessage(url, headers, WriteEventsBody(batch)).
  TextBuffer EventsMessage(const std::string& url, const std::vector<std::string>& headers,
                           const EventBatch& batch);

 private:
  EventSerializer serializer{JsonDepth::kTwice};
};

// The texts of a writer of their own, as strings.
std::string WriteRequestMessage(const std::string& url, const std::vector<std::string>& headers,
                                const std::string& body);
std::string WriteEventsMessage(const std::string& url, const std::vector<std::string>& headers,
                               const EventBatch& batch);

// The body of `batch` as plain JSON text: one object, or an array of several.
std::string WriteEventsBody(const EventBatch& batch);

}  // namespace Ostrel
