#include "delivery/collector_address.h"

#include <gtest/gtest.h>

#include "delivery/request_message.h"

using Delivery::CollectorAddress;
using Delivery::InvalidCollectorUrl;

TEST(CollectorAddress, AcceptsHttpBaseAddressesWithoutTrailingSlash) {
  const std::pair<std::string, std::string> cases[] = {
      {"http://127.0.0.1:8765", "http://127.0.0.1:8765"},
      {"http://127.0.0.1:8765/", "http://127.0.0.1:8765"},
      {"https://collector.example//", "https://collector.example"},
      {"HTTPS://collector.example/base/", "HTTPS://collector.example/base"},
      {"http://[::1]:65535", "http://[::1]:65535"},
      {"http://localhost", "http://localhost"},
  };
  for (const auto& [url, base] : cases) {
    EXPECT_EQ(CollectorAddress(url).Base(), base) << url;
  }
}

TEST(CollectorAddress, RejectsUnusableAddressesWithTheReason) {
  const std::pair<std::string, std::string> cases[] = {
      {"", "no scheme"},
      {"127.0.0.1:8765", "no scheme"},
      {"ftp://host", "not http or https"},
      {"file:///tmp/x", "not http or https"},
      {"http://", "no host"},
      {"http:///path", "no host"},
      {"http://:8765", "no host"},
      {"http://host:0", "port"},
      {"http://host:65536", "port"},
      {"http://host:80x", "port"},
      {"http://host:", "port"},
      {"http://[::1", "IPv6"},
      {"http://user@host", "user information"},
      {"http://host/?a=1", "query or fragment"},
      {"http://host#top", "query or fragment"},
      {"http://ho st", "blank or control"},
      {"http://host\n", "blank or control"},
  };
  for (const auto& [url, reason] : cases) {
    try {
      CollectorAddress address(url);
      ADD_FAILURE() << "accepted " << url;
    } catch (const InvalidCollectorUrl& error) {
      std::string what = error.what();
      EXPECT_EQ(what.rfind("invalid collector URL: ", 0), 0u) << what;
      EXPECT_NE(what.find(reason), std::string::npos) << url << " -> " << what;
    }
  }
}

TEST(CollectorAddress, TargetIsTheBaseFollowedByTheMessagePathAndQuery) {
  CollectorAddress local("http://127.0.0.1:8765/");
  CollectorAddress prefixed("https://collector.example/in");
  const std::string service = "https://analytics.example.com";
  EXPECT_EQ(local.TargetFor(service + "/v1/win/batch?project=sample-game"),
            "http://127.0.0.1:8765/v1/win/batch?project=sample-game");
  EXPECT_EQ(prefixed.TargetFor(service + ":8443/v1/win/record?project=p"),
            "https://collector.example/in/v1/win/record?project=p");
  EXPECT_EQ(local.TargetFor(service), "http://127.0.0.1:8765/");
  EXPECT_EQ(local.TargetFor(service + "?project=p"), "http://127.0.0.1:8765/?project=p");
  EXPECT_EQ(local.TargetFor(service + "/v1/x?project=p#frag"),
            "http://127.0.0.1:8765/v1/x?project=p");
  // The project value reaches the URL unencoded; bytes a URL cannot carry are encoded.
  EXPECT_EQ(local.TargetFor(service + "/v1/win/record?project=my game\xC3\xA9\"|"),
            "http://127.0.0.1:8765/v1/win/record?project=my%20game%C3%A9%22%7C");
  EXPECT_EQ(local.TargetFor(service + "/v1/win/record?project=a%20b&c=d"),
            "http://127.0.0.1:8765/v1/win/record?project=a%20b&c=d");
  EXPECT_THROW(local.TargetFor("/v1/win/record?project=p"), Delivery::MalformedMessage);
  EXPECT_THROW(local.TargetFor("https:///v1/win/record"), Delivery::MalformedMessage);
}
