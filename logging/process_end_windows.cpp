#include <windows.h>

#include <cstdlib>

#include "logging/fatal_error.h"

namespace Quor {

namespace {

using RaiseFailFastExceptionFunction = VOID(WINAPI*)(PEXCEPTION_RECORD, PCONTEXT, DWORD);

// RaiseFailFastException exists from Windows 7 on; the library loads on
// Vista too, so it is looked up rather than imported.
RaiseFailFastExceptionFunction findRaiseFailFastException() {
  const HMODULE kernel = GetModuleHandleA("kernel32.dll");
  if (kernel == nullptr) return nullptr;
  const FARPROC found = GetProcAddress(kernel, "RaiseFailFastException");
  return reinterpret_cast<RaiseFailFastExceptionFunction>(reinterpret_cast<void (*)()>(found));
}

}  // namespace

void endProcessAbnormally() {
  // A fail-fast end: no exception handler, no DLL detach code of the core or
  // of other plugins runs, and the system's error reporting sees a crash.
  if (const RaiseFailFastExceptionFunction raiseFailFast = findRaiseFailFastException()) {
    raiseFailFast(nullptr, nullptr, 0);
  }
  // Before Windows 7, or in case the system returns after all.
  TerminateProcess(GetCurrentProcess(), 3);
  std::abort();
}

}  // namespace Quor
