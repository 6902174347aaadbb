// What the sample game tells the analytics library about the machine it
// runs on: the platform (operating system name and release) and the device
// locale.
//
// Both come from the machine and can be pinned through the environment so
// that a run's output is reproducible:
//   SAMPLE_GAME_PLATFORM_VERSION  replaces the kernel release (uname -r);
//   LC_ALL, then LANG             the locale, e.g. "de_DE.UTF-8" -> "de-DE".
#pragma once

#include <string>

namespace GameAssembly {

struct PlatformInfo {
  std::string name;     // "Linux" (uname -s)
  std::string version;  // the kernel release, e.g. "6.1.0-18-amd64"
};

inline constexpr const char* kDefaultLocale = "en-US";

PlatformInfo PlatformFromMachine();

// The locale code from LC_ALL, or else LANG (an empty variable counts as
// unset); kDefaultLocale when neither gives a usable one.
std::string LocaleFromEnvironment();

// Turns a POSIX locale name "ll[_CC][.codeset][@modifier]" into the code
// "ll-CC" (language lower case, country upper case). Names without a
// country, "C", "POSIX" and anything else that is not of that form give
// kDefaultLocale.
std::string NormaliseLocale(const std::string& posixName);

}  // namespace GameAssembly
