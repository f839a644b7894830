#include "host/plugin_names.h"

#include "binding/format_message.h"
#include "logging/logger.h"

namespace Quor {

const PluginType& backendPluginType() {
  static const PluginType type{"backend", {}};
  return type;
}

const PluginType& frontendPluginType() {
  static const PluginType type{"frontend", {}};
  return type;
}

PluginNames GetFullNameFromShortNameAndType(std::string_view shortName, const PluginType& pluginType) {
  const char* prefix = "qcp-xx-";
  if (pluginType.type == "backend") {
    prefix = "qcp-be-";
  } else if (pluginType.type == "frontend") {
    prefix = "qcp-fe-";
  } else {
    const std::string error = FormatMessage("GetFullNameFromShortNameAndType(\"%1\", \"%2\") called with an unknown type",
                                            shortName, pluginType.type);
    log(LogLevel::Error, LogCategory::Dbg, "            Plugin Manager| %s", error.c_str());
  }
  PluginNames names;
  names.fullName = std::string(prefix) + std::string(shortName);
  names.shortName = std::string(shortName);
  names.type = pluginType.type;
  names.detail = pluginType.detail;
  return names;
}

}  // namespace Quor
