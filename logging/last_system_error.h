#pragma once
// The calling thread's last system error as an error record.

#include "logging/plugin_error.h"

namespace Quor {

// Code = the thread's last system error code (so a non-zero code is also the
// field "errorCode_int"); message = its system text (systemErrorText, with
// the system's line break).
PluginError lastSystemError();

}  // namespace Quor
