#pragma once
// The plugin-API version of the library and the rule by which a core's
// version is accepted.

#include <cstdint>
#include <string>

namespace Quor {

struct PluginApiVersion {
  std::uint32_t major = 0;
  std::uint32_t minor = 0;
  std::uint32_t patch = 0;
  std::string preRelease;
  std::string build;
};

// The version this library implements: 18.0.0.
const PluginApiVersion& pluginApiVersion();

// "major.minor.patch", then "-" and the pre-release, then "+" and the build,
// each only when not empty: "18.0.0-rc.1+5".
std::string versionText(const PluginApiVersion& version);

// The same major number, and a core at least as new in minor and patch.
// Pre-release and build play no part.
bool isCompatible(const PluginApiVersion& plugin, const PluginApiVersion& core);

}  // namespace Quor
