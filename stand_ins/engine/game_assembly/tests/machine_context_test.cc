#include "machine_context.h"

#include <gtest/gtest.h>
#include <stdlib.h>

namespace {

using GameAssembly::kDefaultLocale;
using GameAssembly::NormaliseLocale;

TEST(MachineContext, LocaleNamesBecomeLanguageDashCountryOrTheDefault) {
  const std::pair<const char*, const char*> cases[] = {
      {"de_DE.UTF-8", "de-DE"},  {"en_US", "en-US"},          {"pt_br", "pt-BR"},
      {"sr_RS@latin", "sr-RS"},  {"ast_ES.UTF-8", "ast-ES"},  {"EN_gb.ISO-8859-1", "en-GB"},
      {"", kDefaultLocale},      {"C", kDefaultLocale},       {"C.UTF-8", kDefaultLocale},
      {"POSIX", kDefaultLocale}, {"de", kDefaultLocale},      {"de_DEU", kDefaultLocale},
      {"d_DE", kDefaultLocale},  {"d1_DE", kDefaultLocale},   {"_DE", kDefaultLocale},
      {"de_", kDefaultLocale},   {"de_DE_x", kDefaultLocale}, {"de-DE", kDefaultLocale},
  };
  for (const auto& [name, code] : cases) EXPECT_EQ(NormaliseLocale(name), code) << name;
}

TEST(MachineContext, LocaleComesFromLcAllThenLang) {
  setenv("LC_ALL", "it_IT.UTF-8", 1);
  setenv("LANG", "fr_CA.UTF-8", 1);
  EXPECT_EQ(GameAssembly::LocaleFromEnvironment(), "it-IT");
  setenv("LC_ALL", "", 1);  // empty counts as unset
  EXPECT_EQ(GameAssembly::LocaleFromEnvironment(), "fr-CA");
  unsetenv("LC_ALL");
  setenv("LANG", "C.UTF-8", 1);
  EXPECT_EQ(GameAssembly::LocaleFromEnvironment(), kDefaultLocale);
  unsetenv("LANG");
  EXPECT_EQ(GameAssembly::LocaleFromEnvironment(), kDefaultLocale);
}

TEST(MachineContext, PlatformIsTheKernelUnlessItsVersionIsPinned) {
  unsetenv("SAMPLE_GAME_PLATFORM_VERSION");
  const auto machine = GameAssembly::PlatformFromMachine();
  EXPECT_EQ(machine.name, "Linux");
  EXPECT_FALSE(machine.version.empty());
  setenv("SAMPLE_GAME_PLATFORM_VERSION", "6.1.0-test", 1);
  EXPECT_EQ(GameAssembly::PlatformFromMachine().version, "6.1.0-test");
  EXPECT_EQ(GameAssembly::PlatformFromMachine().name, "Linux");
  unsetenv("SAMPLE_GAME_PLATFORM_VERSION");
}

}  // namespace
