#include "program/command_line.h"

#include <algorithm>

#include "program/exit_status.h"

namespace Corvane {
namespace {

using Action = CommandLine::Action;
using Kind = CommandLine::Kind;

// The command line being built, with what its error messages need: the
// word that chose the activation kind and the options seen so far.
struct ParseState {
  CommandLine line;
  std::vector<std::string> launchWords;
  std::string activationSource;  // empty: no word has chosen a kind yet
  std::vector<std::string> seen;
};

enum class Takes { Nothing, OneValue, Paths };

struct Option {
  const char* name;
  const char* alias;  // another spelling, or null
  Takes takes;
  const char* valueName;  // shown in messages and the usage text
  bool repeatable;
  void (*apply)(ParseState& state, const std::vector<std::string>& values);
  const char* help;
};

void ChooseKind(ParseState& state, Kind kind, const std::string& source) {
  if (!state.activationSource.empty() && state.line.kind != kind) {
    throw UsageError(source + " cannot be combined with " + state.activationSource +
                     ": one activation per run");
  }
  state.line.kind = kind;
  if (state.activationSource.empty()) state.activationSource = source;
}

// A whole number of milliseconds from 0 to a minute, in decimal digits.
std::chrono::milliseconds Milliseconds(const char* option, const std::string& text) {
  constexpr long kLongest = 60000;
  const bool digits = !text.empty() && text.size() <= 5 &&
                      text.find_first_not_of("0123456789") == std::string::npos;
  if (!digits || std::stol(text) > kLongest) {
    throw UsageError(std::string(option) + " needs a whole number of milliseconds from 0 to " +
                     std::to_string(kLongest) + ", not \"" + text + "\"");
  }
  return std::chrono::milliseconds(std::stol(text));
}

// Every option of the program; adding one is one row here.
const Option kOptions[] = {
    {"--package", nullptr, Takes::OneValue, "DIR", false,
     [](ParseState& state, const auto& values) { state.line.packageFolder = values[0]; },
     "the package folder\n(default: the sample package beside the program)"},
    {"--collector", nullptr, Takes::OneValue, "URL", false,
     [](ParseState& state, const auto& values) { state.line.collectorUrl = values[0]; },
     "also send the game's analytics requests to URL\n(http or https, a host and a port)"},
    {"--outbox", nullptr, Takes::OneValue, "DIR", false,
     [](ParseState& state, const auto& values) { state.line.outboxFolder = values[0]; },
     "with --collector: the folder the requests wait in\n(default: $XDG_STATE_HOME/corvane, "
     "else\n~/.local/state/corvane)"},
    {"--consent", nullptr, Takes::OneValue, "STATE", false,
     [](ParseState& state, const auto& values) {
       if (values[0] != "given" && values[0] != "denied" && values[0] != "pending") {
         throw UsageError("--consent needs given, denied or pending, not \"" + values[0] + "\"");
       }
       state.line.consent = values[0];
     },
     "with --collector: the player's consent to sending\n"
     "the game's analytics: given (the default), denied\n"
     "(what the outbox holds is deleted, nothing is\n"
     "stored) or pending (required and not decided:\n"
     "stored, not sent)"},
    {"--startup-ms", nullptr, Takes::OneValue, "N", false,
     [](ParseState& state, const auto& values) {
       state.line.startupTime = Milliseconds("--startup-ms", values[0]);
     },
     "the player's start-up time before the game's first\nframe, 0 to 60000 ms (default: 400)"},
    {"--frame-ms", nullptr, Takes::OneValue, "N", false,
     [](ParseState& state, const auto& values) {
       state.line.framePeriod = Milliseconds("--frame-ms", values[0]);
     },
     "the game's frame period, 0 to 60000 ms\n(default: 16)"},
    {"--frames", nullptr, Takes::OneValue, "DIR", false,
     [](ParseState& state, const auto& values) { state.line.framesFolder = values[0]; },
     "write DIR/frame-NNNN.png, the window's picture at\n"
     "each visible change (at most 60 of the game's own\n"
     "frames), and DIR/timeline.png, all of them on one\n"
     "sheet; DIR is created if missing"},
    {"--protocol", nullptr, Takes::OneValue, "URI", false,
     [](ParseState& state, const auto& values) {
       ChooseKind(state, Kind::Protocol, "--protocol");
       state.line.protocolUri = values[0];
     },
     "a protocol activation with the absolute URI"},
    {"--file", nullptr, Takes::Paths, "PATH...", true,
     [](ParseState& state, const auto& values) {
       ChooseKind(state, Kind::File, "--file");
       state.line.files.insert(state.line.files.end(), values.begin(), values.end());
     },
     "a file activation with the paths up to the next\n"
     "word that starts with \"--\" (none: an empty list);\n"
     "may be repeated, the paths join in order"},
    {"--share-target", nullptr, Takes::Nothing, "", false,
     [](ParseState& state, const auto&) { ChooseKind(state, Kind::ShareTarget, "--share-target"); },
     "a share-target activation"},
    {"--query-exports", nullptr, Takes::OneValue, "CLASSID", false,
     [](ParseState& state, const auto& values) {
       state.line.action = Action::QueryExports;
       state.line.exportQuery = values[0];
     },
     "start no application: call the program's exports\nas the runtime would and print their "
     "answers"},
    {"--version", nullptr, Takes::Nothing, "", false,
     [](ParseState& state, const auto&) { state.line.action = Action::Version; },
     "print the version and exit"},
    {"--help", "-h", Takes::Nothing, "", false,
     [](ParseState& state, const auto&) { state.line.action = Action::Help; },
     "print this text and exit"},
};

// Where the usage text's option descriptions start.
constexpr std::size_t kHelpColumn = 27;

bool StartsWithDashes(const std::string& word) { return word.rfind("--", 0) == 0; }

const Option* FindOption(const std::string& word) {
  for (const Option& option : kOptions) {
    if (word == option.name || (option.alias && word == option.alias)) return &option;
  }
  return nullptr;
}

// The option's values, taken from `words` at `next` (which moves past them).
std::vector<std::string> TakeValues(const Option& option, const std::vector<std::string>& words,
                                    std::size_t& next) {
  std::vector<std::string> values;
  switch (option.takes) {
    case Takes::Nothing:
      break;
    case Takes::OneValue:
      if (next >= words.size() || StartsWithDashes(words[next])) {
        throw UsageError(std::string(option.name) + " needs " + option.valueName);
      }
      values.push_back(words[next++]);
      break;
    case Takes::Paths:
      while (next < words.size() && !StartsWithDashes(words[next])) values.push_back(words[next++]);
      break;
  }
  return values;
}

void AddLaunchWord(ParseState& state, const std::string& word) {
  ChooseKind(state, Kind::Launch, "launch argument \"" + word + "\"");
  state.launchWords.push_back(word);
}

void ApplyOption(ParseState& state, const Option& option, const std::vector<std::string>& words,
                 std::size_t& next) {
  if (!option.repeatable &&
      std::find(state.seen.begin(), state.seen.end(), option.name) != state.seen.end()) {
    throw UsageError(std::string(option.name) + " given twice");
  }
  state.seen.push_back(option.name);
  option.apply(state, TakeValues(option, words, next));
}

CommandLine Finish(ParseState& state) {
  if (state.line.action == Action::QueryExports && !state.activationSource.empty()) {
    throw UsageError("--query-exports starts no application: it cannot be combined with " +
                     state.activationSource);
  }
  for (std::size_t i = 0; i < state.launchWords.size(); ++i) {
    if (i > 0) state.line.launchArguments += ' ';
    state.line.launchArguments += state.launchWords[i];
  }
  return state.line;
}

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& words) {
  ParseState state;
  std::size_t next = 0;
  while (next < words.size()) {
    const std::string& word = words[next++];
    if (word == "--") {
      while (next < words.size()) AddLaunchWord(state, words[next++]);
      break;
    }
    const Option* option = FindOption(word);
    if (!option && StartsWithDashes(word)) {
      throw UsageError("unknown option " + word +
                       " (to hand it to the game as a launch argument, put it after \"--\": "
                       "corvane -- " +
                       word + ")");
    }
    if (!option) {
      AddLaunchWord(state, word);
      continue;
    }
    ApplyOption(state, *option, words, next);
    if (state.line.action == Action::Help || state.line.action == Action::Version) break;
  }
  return Finish(state);
}

std::string UsageText() {
  std::string text =
      "usage: corvane [OPTIONS] [ARGUMENTS...] [-- ARGUMENTS...]\n"
      "\n"
      "Runs the game's host with one activation: a launch whose argument string is\n"
      "ARGUMENTS joined by single spaces, unless an option below asks for another kind.\n"
      "\n"
      "Options, recognised anywhere before \"--\", in any order:\n";
  // The label, then the help's lines from kHelpColumn on.
  auto addLine = [&text](std::string label, const std::string& help) {
    label = "  " + label;
    label.resize(std::max(label.size() + 1, kHelpColumn), ' ');
    text += label;
    for (char c : help)
      text += c == '\n' ? "\n" + std::string(kHelpColumn, ' ') : std::string(1, c);
    text += "\n";
  };
  for (const Option& option : kOptions) {
    std::string label = option.alias ? std::string(option.alias) + ", " : std::string();
    label += option.name;
    if (*option.valueName) label += std::string(" ") + option.valueName;
    addLine(label, option.help);
  }
  addLine("--", "end of the options: every later word is a\nlaunch argument");
  text +=
      "\n"
      "An option's value may not start with \"--\". Other words that start with \"--\"\n"
      "are refused before \"--\"; single-dash words such as -level are launch arguments.\n"
      "\n"
      "Exit status:\n";
  constexpr std::size_t kStatusColumn = 9;
  for (const ExitStatusMeaning& status : kExitStatuses) {
    std::string label = std::string("  ") + status.label;
    label.resize(kStatusColumn, ' ');
    text += label;
    for (const char* c = status.meaning; *c; ++c)
      text += *c == '\n' ? "\n" + std::string(kStatusColumn, ' ') : std::string(1, *c);
    text += "\n";
  }
  text += "When several apply: 1, then 4, then 128+N, then 3.\n";
  return text;
}

}  // namespace Corvane
