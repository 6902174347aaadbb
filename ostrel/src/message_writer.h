// The RequestMessage text of an upload request, the JSON object
// {"data":...,"headers":[...],"url":...} that the game takes from the queue.
#pragma once

#include <string>
#include <vector>

#include "event_serializer.h"

namespace Ostrel {

// A message whose "data" is `body`, whatever text that is.
std::string WriteRequestMessage(const std::string& url, const std::vector<std::string>& headers,
                                const std::string& body);

// A message whose "data" is the body of `batch`, written in one pass: the
// events go straight into the "data" string, already escaped for it. The
// same text as WriteRequestMessage(url, headers, WriteEventsBody(batch)).
std::string WriteEventsMessage(const std::string& url, const std::vector<std::string>& headers,
                               const EventBatch& batch);

// The body of `batch` as plain JSON text: one object, or an array of several.
std::string WriteEventsBody(const EventBatch& batch);

}  // namespace Ostrel
