#include "machine_context.h"

#include <sys/utsname.h>

#include <cctype>
#include <cstdlib>

namespace GameAssembly {
namespace {

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

bool AllLetters(const std::string& text) {
  for (unsigned char c : text) {
    if (!std::isalpha(c)) return false;
  }
  return true;
}

std::string Cased(std::string text, int (*convert)(int)) {
  for (char& c : text) c = static_cast<char>(convert(static_cast<unsigned char>(c)));
  return text;
}

}  // namespace

PlatformInfo PlatformFromMachine() {
  PlatformInfo info{"Linux", ""};
  utsname machine{};
  if (uname(&machine) == 0) {
    info.name = machine.sysname;
    info.version = machine.release;
  }
  const std::string pinned = Environment("SAMPLE_GAME_PLATFORM_VERSION");
  if (!pinned.empty()) info.version = pinned;
  return info;
}

std::string LocaleFromEnvironment() {
  std::string name = Environment("LC_ALL");
  if (name.empty()) name = Environment("LANG");
  return NormaliseLocale(name);
}

std::string NormaliseLocale(const std::string& posixName) {
  const std::string name = posixName.substr(0, posixName.find_first_of(".@"));
  const std::size_t separator = name.find('_');
  if (separator == std::string::npos) return kDefaultLocale;
  const std::string language = name.substr(0, separator);
  const std::string country = name.substr(separator + 1);
  if (language.size() < 2 || language.size() > 3 || country.size() != 2 || !AllLetters(language) ||
      !AllLetters(country)) {
    return kDefaultLocale;
  }
  return Cased(language, ::tolower) + "-" + Cased(country, ::toupper);
}

}  // namespace GameAssembly
