#include "collector_address.h"

#include <gtest/gtest.h>

using Delivery::CollectorAddress;
using Delivery::InvalidCollectorUrl;

TEST(CollectorAddress, KeepsSchemeHostAndPortOnly) {
  const std::pair<std::string, std::string> cases[] = {
      {"http://127.0.0.1:8765", "http://127.0.0.1:8765"},
      {"http://127.0.0.1:8765/", "http://127.0.0.1:8765"},
      {"HTTPS://collector.example", "HTTPS://collector.example"},
      {"http://[::1]:65535", "http://[::1]:65535"},
  };
  for (const auto& [url, origin] : cases) {
    EXPECT_EQ(CollectorAddress(url).Origin(), origin) << url;
  }
  EXPECT_EQ(CollectorAddress("http://h:1/").Target("/v1/win/batch?project=p"),
            "http://h:1/v1/win/batch?project=p");
}

TEST(CollectorAddress, RejectsUnusableAddressesWithTheReason) {
  const std::pair<std::string, std::string> cases[] = {
      {"", "no scheme"},
      {"127.0.0.1:8765", "no scheme"},
      {"ftp://host", "not http or https"},
      {"http://", "no host"},
      {"http://:8765", "no host"},
      {"http://host:0", "port"},
      {"http://host:65536", "port"},
      {"http://host:80x", "port"},
      {"http://[::1", "IPv6"},
      {"http://user@host", "user information"},
      {"http://host/base", "has a path"},
      {"http://host//", "has a path"},
      {"http://host?a=1", "query"},
      {"http://host#top", "fragment"},
      {"http://ho st", "blank or control"},
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
