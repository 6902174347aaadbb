// What an uploaded event says about who and where. The services client owns
// one and keeps it current; the serialiser reads it at flush time.
#pragma once

#include <string>
#include <tuple>

namespace Ostrel {

struct SerializationContext {
  std::string userId;
  std::string clientId;
  std::string platformName = "Windows";
  std::string platformVersion;
  std::string appId;
  std::string packageName;
  std::string title;
  std::string versionName;
  std::string versionCode;
  std::string localeCode;
  std::string language;
  std::string country;
  std::string sessionId;

  // Every field above: the serialiser writes the context again only when
  // one of them changed.
  auto Fields() const {
    return std::tie(userId, clientId, platformName, platformVersion, appId, packageName, title,
                    versionName, versionCode, localeCode, language, country, sessionId);
  }
  bool operator==(const SerializationContext& other) const { return Fields() == other.Fields(); }
  bool operator!=(const SerializationContext& other) const { return !(*this == other); }
};

}  // namespace Ostrel
