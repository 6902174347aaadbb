// The corvane program's command line:
//   corvane [--package DIR] [--collector URL] [ARGUMENTS... | --protocol URI | --file PATH... |
//   --share-target]
// --collector hands the engine the address the game sends its analytics
// requests to (see EnginePlayer::EngineOptions).
// One activation per run: a launch with ARGUMENTS joined by single spaces
// (none: the empty string), a protocol activation, a file activation with
// the paths in order, or a share-target activation. "--" ends the options,
// so launch arguments may themselves start with "--".
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace Corvane {

struct CommandLine {
  enum class Kind { Launch, Protocol, File, ShareTarget };
  std::optional<std::string> packageFolder;
  std::optional<std::string> collectorUrl;
  // --query-exports CLASSID: no application; the program's exports are
  // called as the runtime would call them and their answers printed.
  std::optional<std::string> exportQuery;
  Kind kind = Kind::Launch;
  std::string launchArguments;
  std::string protocolUri;
  std::vector<std::string> files;
};

// Parses argv[1..]; on a usage error returns nothing and sets `error`.
std::optional<CommandLine> ParseCommandLine(const std::vector<std::string>& arguments,
                                            std::string& error);

inline constexpr const char* kUsage =
    "usage: corvane [--package DIR] [--collector URL] [ARGUMENTS... | --protocol URI | --file "
    "PATH... | --share-target | --query-exports CLASSID]";

}  // namespace Corvane
