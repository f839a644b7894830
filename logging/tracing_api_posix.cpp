#include "logging/tracing_api.h"

namespace Quor {

// No system tracing natively: the providers stay unregistered.
TracingApi loadSystemTracingApi() {
  return {};
}

}  // namespace Quor
