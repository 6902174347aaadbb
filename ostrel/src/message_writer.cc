#include "message_writer.h"

#include "json_writer.h"

namespace Ostrel {

namespace {

// The message around the content of its "data" string, which `writeData`
// writes already escaped.
template <typename WriteData>
std::string WriteMessage(const std::string& url, const std::vector<std::string>& headers,
                         std::size_t dataSize, WriteData writeData) {
  std::size_t size = dataSize + url.size() + 32;
  for (const std::string& line : headers) size += line.size() + 3;
  std::string out;
  out.reserve(size);
  JsonWriter json(out, JsonDepth::kOnce);
  json.Raw(R"({"data":")");
  writeData(out);
  json.Raw(R"(","headers":[)");
  for (const std::string& line : headers) {
    if (&line != &headers.front()) json.Raw(',');
    json.String(line);
  }
  json.Raw(R"(],"url":)");
  json.String(url);
  json.Raw('}');
  return out;
}

}  // namespace

std::string WriteRequestMessage(const std::string& url, const std::vector<std::string>& headers,
                                const std::string& body) {
  return WriteMessage(url, headers, body.size(),
                      [&body](std::string& out) { AppendEscaped(out, body, JsonDepth::kOnce); });
}

std::string WriteEventsMessage(const std::string& url, const std::vector<std::string>& headers,
                               const EventBatch& batch) {
  EventSerializer serializer(batch.context, JsonDepth::kTwice);
  return WriteMessage(url, headers, serializer.EstimateBodySize(batch.events),
                      [&](std::string& out) { serializer.WriteBody(out, batch.events); });
}

std::string WriteEventsBody(const EventBatch& batch) {
  EventSerializer serializer(batch.context, JsonDepth::kOnce);
  std::string body;
  body.reserve(serializer.EstimateBodySize(batch.events));
  serializer.WriteBody(body, batch.events);
  return body;
}

}  // namespace Ostrel
