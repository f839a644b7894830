#include "logging/last_system_error.h"

#include "logging/system_error_text.h"

namespace Quor {

PluginError lastSystemError() {
  // Read first: anything below may overwrite the thread's last error.
  const std::uint32_t code = lastSystemErrorCode();
  PluginError error;
  setCode(error, static_cast<std::int32_t>(code));
  char text[1024];
  error.message = systemErrorText(code, text, sizeof text);
  return error;
}

}  // namespace Quor
