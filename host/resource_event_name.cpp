#include "host/resource_event_name.h"

#include <algorithm>
#include <cstddef>

namespace Quor {

std::string resourceEventName(std::string_view path) {
  std::string name = "OnJsonApiEvent";
  std::size_t entries = 1;
  std::size_t limit = 4;
  bool firstSegment = true;
  std::size_t position = 0;
  while (position < path.size() && entries < limit) {
    const std::size_t end = std::min(path.find('/', position), path.size());
    const std::string_view segment = path.substr(position, end - position);
    position = end + 1;
    if (segment.empty()) continue;
    if (firstSegment && segment == "qel-platform-config") limit = 6;
    firstSegment = false;
    name += '_';
    name += segment;
    ++entries;
  }
  return name;
}

bool resourcePatternMatches(std::string_view pattern, std::string_view path) {
  std::size_t p = 0;
  std::size_t s = 0;
  while (p < pattern.size() && s < path.size()) {
    if (pattern[p] != '*') {
      if (pattern[p] != path[s]) return false;
      ++p;
      ++s;
    } else if (path[s] == '/') {
      ++p;  // the run ends; "/" is matched by what follows the "*"
    } else {
      ++s;
      if (s == path.size()) ++p;
    }
  }
  return p == pattern.size() && s == path.size();
}

}  // namespace Quor
