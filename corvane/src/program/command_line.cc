#include "program/command_line.h"

namespace Corvane {

std::optional<CommandLine> ParseCommandLine(const std::vector<std::string>& arguments,
                                            std::string& error) {
  CommandLine line;
  std::size_t i = 0;
  // The program's options come first, in any order.
  for (; i < arguments.size(); i += 2) {
    const bool package = arguments[i] == "--package";
    if (!package && arguments[i] != "--collector") break;
    if (i + 1 >= arguments.size()) {
      return error = package ? "--package needs a folder" : "--collector needs a URL", std::nullopt;
    }
    (package ? line.packageFolder : line.collectorUrl) = arguments[i + 1];
  }
  if (i < arguments.size() && arguments[i] == "--query-exports") {
    if (i + 2 != arguments.size())
      return error = "--query-exports needs exactly one class id", std::nullopt;
    line.exportQuery = arguments[i + 1];
    return line;
  }
  if (i < arguments.size() && arguments[i] == "--protocol") {
    if (i + 2 != arguments.size()) return error = "--protocol needs exactly one URI", std::nullopt;
    line.kind = CommandLine::Kind::Protocol;
    line.protocolUri = arguments[i + 1];
    return line;
  }
  if (i < arguments.size() && arguments[i] == "--file") {
    line.kind = CommandLine::Kind::File;
    line.files.assign(arguments.begin() + static_cast<std::ptrdiff_t>(i) + 1, arguments.end());
    return line;
  }
  if (i < arguments.size() && arguments[i] == "--share-target") {
    if (i + 1 != arguments.size()) return error = "--share-target takes no arguments", std::nullopt;
    line.kind = CommandLine::Kind::ShareTarget;
    return line;
  }
  if (i < arguments.size() && arguments[i] == "--") ++i;
  for (std::size_t first = i; i < arguments.size(); ++i) {
    if (i > first) line.launchArguments += ' ';
    line.launchArguments += arguments[i];
  }
  return line;
}

}  // namespace Corvane
