#include "host/plugin_object_factory.h"

#include <new>

namespace Quor {

// The object the product DLL's loader entry loads. The feature's plugin
// class takes this place once it exists; until then a plugin without routes.
std::unique_ptr<PluginBase> makePluginObject() {
  return std::unique_ptr<PluginBase>(new (std::nothrow) PluginBase());
}

}  // namespace Quor
