// What an uploaded event says about who and where. The services client owns
// one and keeps it current; the serialiser reads it at flush time.
#pragma once

#include <string>

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
};

}  // namespace Ostrel
