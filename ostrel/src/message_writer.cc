#include "message_writer.h"

#include "json_writer.h"

namespace Ostrel {

namespace {

// The message around the content of its "data" string, which `writeData`
// writes already escaped.
template <typename WriteData>
TextBuffer WriteMessage(const std::string& url, const std::vector<std::string>& headers,
                        std::size_t dataSize, WriteData writeData) {
  std::size_t size = dataSize + url.size() + 32;
  for (const std::string& line : headers) size += line.size() + 3;
  TextBuffer out;
  out.Reserve(size);
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
  out.ShrinkToFit();  // the message may wait in the queue for a while
  return out;
}

}  // namespace

TextBuffer MessageWriter::RequestMessage(const std::string& url,
                                         const std::vector<std::string>& headers,
                                         const std::string& body) {
  return WriteMessage(url, headers, body.size(),
                      [&body](TextBuffer& out) { AppendEscaped(out, body, JsonDepth::kOnce); });
}

TextBuffer MessageWriter::EventsMessage(const std::string& url,
                                        const std::vector<std::string>& headers,
                                        const EventBatch& batch) {
  serializer.UseContext(batch.context);
  return WriteMessage(url, headers, serializer.EstimateBodySize(batch.events),
                      [&](TextBuffer& out) { serializer.WriteBody(out, batch.events); });
}

std::string WriteRequestMessage(const std::string& url, const std::vector<std::string>& headers,
                                const std::string& body) {
  return std::string(MessageWriter().RequestMessage(url, headers, body).View());
}

std::string WriteEventsMessage(const std::string& url, const std::vector<std::string>& headers,
                               const EventBatch& batch) {
  return std::string(MessageWriter().EventsMessage(url, headers, batch).View());
}

std::string WriteEventsBody(const EventBatch& batch) {
  EventSerializer serializer(JsonDepth::kOnce);
  serializer.UseContext(batch.context);
  TextBuffer body;
  body.Reserve(serializer.EstimateBodySize(batch.events));
  serializer.WriteBody(body, batch.events);
  return std::string(body.View());
}

}  // namespace Ostrel
