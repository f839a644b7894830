#pragma once
// Where the loader entry gets its plugin object. Each library that exports
// the loader defines this function once: the product DLL builds the
// feature's plugin, a test library its own. An answer of null, or an
// exception, refuses the load.

#include <memory>

#include "host/plugin_base.h"

namespace Quor {

std::unique_ptr<PluginBase> makePluginObject();

}  // namespace Quor
