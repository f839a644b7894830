#include <windows.h>

#include <cstdlib>

#include "logging/fatal_error.h"

namespace Quor {

void endProcessAbnormally() {
  // A fail-fast end: no exception handler, no DLL detach code of the core or
  // of other plugins runs, and the system's error reporting sees a crash.
  RaiseFailFastException(nullptr, nullptr, 0);
  // Not reached; in case the system returns after all.
  TerminateProcess(GetCurrentProcess(), 3);
  std::abort();
}

}  // namespace Quor
