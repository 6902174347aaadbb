#include "request_queue.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "message_writer.h"
#include "take_message.h"

namespace {

using Ostrel::WriteRequestMessage;
using Zel::TaviServicesHttpClientCurl;

TEST(RequestQueue, WritesDataHeadersUrlInThatOrder) {
  EXPECT_EQ(WriteRequestMessage("https://h/p?project=x", {"A: 1", "B: 2"}, "body"),
            R"({"data":"body","headers":["A: 1","B: 2"],"url":"https://h/p?project=x"})");
  EXPECT_EQ(WriteRequestMessage("", {}, ""), R"({"data":"","headers":[],"url":""})");

  // A JSON body stands escaped inside "data"; non-ASCII is copied unchanged;
  // no raw line break survives.
  EXPECT_EQ(WriteRequestMessage("https://h/\xC3\xA9", {"X: \xE2\x82\xAC"}, "{\"k\":\"a\\\\b\"}\n"),
            "{\"data\":\"{\\\"k\\\":\\\"a\\\\\\\\b\\\"}\\n\",\"headers\":[\"X: \xE2\x82\xAC\"],"
            "\"url\":\"https://h/\xC3\xA9\"}");
}

TEST(RequestQueue, HandsMessagesOutOldestFirst) {
  TaviServicesHttpClientCurl client;
  EXPECT_EQ(client.MessagesCount(), 0);
  EXPECT_EQ(TakeMessage(client), "");  // empty queue: empty text, nothing breaks

  for (const char* body : {"1", "2", "3"}) EXPECT_TRUE(client.SendRequest("u", {}, body));
  EXPECT_EQ(client.MessagesCount(), 3);
  EXPECT_EQ(TakeMessage(client), R"({"data":"1","headers":[],"url":"u"})");
  EXPECT_EQ(client.MessagesCount(), 2);
  EXPECT_TRUE(client.SendRequest("u", {}, "4"));
  for (const char* body : {"2", "3", "4"}) {
    EXPECT_EQ(nlohmann::json::parse(TakeMessage(client))["data"], body);
  }
  EXPECT_EQ(client.MessagesCount(), 0);
  EXPECT_EQ(TakeMessage(client), "");
}

TEST(RequestQueue, ReplacesInvalidUtf8InUrlAndHeaders) {
  TaviServicesHttpClientCurl client;
  EXPECT_TRUE(client.SendRequest("u?project=\xFF", {"H: \xC0"}, "ok"));
  EXPECT_EQ(
      TakeMessage(client),
      "{\"data\":\"ok\",\"headers\":[\"H: \xEF\xBF\xBD\"],\"url\":\"u?project=\xEF\xBF\xBD\"}");
}

}  // namespace
