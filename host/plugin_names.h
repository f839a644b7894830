#pragma once
// The plugin's names: the short name it is loaded under and the full name
// that carries the prefix of its type.

#include <string>
#include <string_view>

namespace Quor {

struct PluginType {
  std::string type;
  std::string detail;
};

// type "backend" and "frontend", both with an empty detail.
const PluginType& backendPluginType();
const PluginType& frontendPluginType();

struct PluginNames {
  std::string fullName;
  std::string shortName;
  std::string type;
  std::string detail;
};

// fullName = "qcp-be-", "qcp-fe-" or (for any other type, with an ERROR
// line) "qcp-xx-", followed by the short name; the type is compared whole
// and case-sensitively.
PluginNames GetFullNameFromShortNameAndType(std::string_view shortName, const PluginType& pluginType);

}  // namespace Quor
