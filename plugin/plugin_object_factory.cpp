#include "host/plugin_object_factory.h"

#include <new>

#include "plugin/beta_opt_in_plugin.h"

namespace Quor {

// The object the product DLL's loader entry loads: the feature's plugin.
// When it cannot be allocated the loader refuses the load in order.
std::unique_ptr<PluginBase> makePluginObject() {
  return std::unique_ptr<PluginBase>(new (std::nothrow) BetaOptInPlugin());
}

}  // namespace Quor
