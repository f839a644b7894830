#pragma once
// The plugin DLL as the core loads it: by its full path (LoadLibraryW), then
// the loader entry by name through GetProcAddress; FreeLibrary at the end.
// Paths are UTF-8, as plugin-host takes its command line.

#include <string>

#include "host/host_records.h"
#include "outcome.h"

namespace PluginHost {

// The loader entry every plugin of this kind exports.
inline constexpr const char* pluginLoaderName = "load_qel_beta_opt_in";

struct PluginLibrary {
  void* module = nullptr;
  Quor::PluginLoaderEntry loader = nullptr;
  std::string path;
};

// Loads the DLL and finds its loader entry; the failure says which call
// failed and the system's reason.
Outcome<PluginLibrary> loadPluginLibrary(const std::string& path);

void freePluginLibrary(PluginLibrary& library);

// Plugins\<name>\<name>.dll in the folder of this program, as the core lays
// out its plugins.
std::string defaultPluginPath(const std::string& name);

}  // namespace PluginHost
