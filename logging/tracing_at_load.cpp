// Registers the tracing providers with the system when the library is loaded
// and unregisters them when it is unloaded. Nothing calls into this file: the
// linker keeps it through the symbol below (see dependencies.cmake).

#include "logging/tracing_providers.h"

extern "C" {
extern const int qcp_tracing_at_load;
const int qcp_tracing_at_load = 1;
}

namespace Quor {
namespace {

struct TracingAtLoad {
  TracingAtLoad() { registerTracingProviders(loadSystemTracingApi()); }
  ~TracingAtLoad() { unregisterTracingProviders(); }
  TracingAtLoad(const TracingAtLoad&) = delete;
  TracingAtLoad& operator=(const TracingAtLoad&) = delete;
} gTracingAtLoad;

}  // namespace
}  // namespace Quor
