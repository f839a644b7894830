#include "host/plugin_loader_entry.h"

#include <exception>

#include "host/plugin_object_factory.h"
#include "logging/logger.h"

namespace {

// The core finds no entry points and no plugin object: it does not start or
// stop anything, and nothing of ours is left behind.
void refuseLoad(Quor::HostHandshake* handshake, const char* reason) {
  using namespace Quor;
  log(LogLevel::Error, LogCategory::Dbg, "%s: The plugin could not be loaded: %s", pluginShortName, reason);
  handshake->entryPoints = nullptr;
  handshake->pluginContext = nullptr;
  handshake->pluginName = nullptr;
  handshake->registration = nullptr;
}

}  // namespace

extern "C" std::int32_t load_qel_beta_opt_in(Quor::HostHandshake* handshake) {
  using namespace Quor;
  if (handshake == nullptr) return 0;
  try {
    std::unique_ptr<PluginBase> plugin = makePluginObject();
    if (plugin == nullptr) {
      refuseLoad(handshake, "the plugin object could not be created");
      return 0;
    }
    plugin->load(handshake, pluginShortName);
    // From here on the core owns the object; stop destroys it.
    plugin.release();
  } catch (const std::exception& failure) {
    refuseLoad(handshake, failure.what());
  } catch (...) {
    refuseLoad(handshake, "unknown failure");
  }
  return 0;
}
