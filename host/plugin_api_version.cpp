#include "host/plugin_api_version.h"

#include "binding/format_message.h"

namespace Quor {

const PluginApiVersion& pluginApiVersion() {
  static const PluginApiVersion version{18, 0, 0, {}, {}};
  return version;
}

std::string versionText(const PluginApiVersion& version) {
  std::string text = FormatMessage("%1.%2.%3", version.major, version.minor, version.patch);
  if (!version.preRelease.empty()) text += "-" + version.preRelease;
  if (!version.build.empty()) text += "+" + version.build;
  return text;
}

bool isCompatible(const PluginApiVersion& plugin, const PluginApiVersion& core) {
  if (core.major != plugin.major) return false;
  return core.minor > plugin.minor || (core.minor == plugin.minor && core.patch >= plugin.patch);
}

}  // namespace Quor
