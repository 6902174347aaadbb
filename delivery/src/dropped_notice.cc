#include "dropped_notice.h"

#include <utility>

namespace Delivery {
namespace {

std::string RangeText(const UnreportedRange& range) {
  std::string text = std::to_string(range.first);
  if (range.last == kOpenEnd) return text + "-";
  if (range.last != range.first) text += "-" + std::to_string(range.last);
  return text;
}

}  // namespace

std::string DroppedNotice(const std::vector<UnreportedRange>& ranges) {
  // (reason, stream) -> its ranges' text, in the order of first appearance.
  std::vector<std::pair<std::pair<std::string, std::string>, std::string>> groups;
  for (const UnreportedRange& range : ranges) {
    const auto name = std::make_pair(range.reason, range.stream);
    auto group = groups.begin();
    while (group != groups.end() && group->first != name) ++group;
    if (group == groups.end()) {
      groups.push_back({name, ""});
      group = groups.end() - 1;
    } else {
      group->second += ",";
    }
    group->second += RangeText(range);
  }
  std::string notice;
  for (const auto& [name, text] : groups) {
    if (!notice.empty()) notice += ";";
    notice += name.first + "=" + (name.second.empty() ? "" : name.second + ":") + text;
  }
  return notice;
}

}  // namespace Delivery
