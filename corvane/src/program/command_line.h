// The corvane program's command line.
//
//   corvane [OPTIONS] [ARGUMENTS...] [-- ARGUMENTS...]
//
// The options (kOptions in command_line.cc, also the source of the usage
// text) are recognised anywhere before "--", in any order, also between or
// after the launch arguments. Every other word is a launch argument; the
// launch arguments are joined by single spaces in their order. "--" ends the
// options: every later word is a launch argument, even one that starts with
// "--". A word before "--" that starts with "--" and names no option is a
// usage error; single-dash words such as "-level" are launch arguments.
//
// An option's value is the next word; it may not start with "--" (so a
// forgotten value is reported rather than taking the next option as its
// value). "--file" takes every following word up to the next one that
// starts with "--" (none: an empty file list) and may be repeated; the
// paths join in order.
//
// One activation per run: a launch (the default), --protocol, --file or
// --share-target; asking for two kinds is a usage error, and so is giving
// an option other than --file twice.
#pragma once

#include <chrono>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace Corvane {

// A command line the program cannot act on: ExitStatus::Usage, the message
// on standard error.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct CommandLine {
  enum class Action { Run, Help, Version, QueryExports };
  enum class Kind { Launch, Protocol, File, ShareTarget };

  Action action = Action::Run;
  std::optional<std::string> packageFolder;
  // The address the game sends its analytics requests to, the player's
  // start-up time and the game's frame period (see
  // EnginePlayer::EngineOptions); unset: the engine's defaults.
  std::optional<std::string> collectorUrl;
  std::optional<std::chrono::milliseconds> startupTime;
  std::optional<std::chrono::milliseconds> framePeriod;
  // The folder of the outbox the requests wait in (--outbox).
  std::optional<std::string> outboxFolder;
  // The player's consent the sample game hands the delivery library
  // (--consent): "given", "denied" or "pending".
  std::optional<std::string> consent;
  // --frames DIR: the folder the window's pictures are written to.
  std::optional<std::string> framesFolder;
  // --query-exports CLASSID: no application; the program's exports are
  // called as the runtime would call them and their answers printed.
  std::string exportQuery;

  Kind kind = Kind::Launch;
  std::string launchArguments;
  std::string protocolUri;
  std::vector<std::string> files;
};

// Parses argv[1..]. --help, -h and --version end the parse where they stand.
// Raises UsageError naming the word at fault.
CommandLine ParseCommandLine(const std::vector<std::string>& arguments);

// The text --help prints: the synopsis, one line per option, the exit
// statuses (kExitStatuses).
std::string UsageText();

}  // namespace Corvane
