#include <windows.h>

#include "logging/log_platform.h"

// ntdll's flag of process shutdown, set before the libraries get
// DLL_PROCESS_DETACH (the `lpReserved` of that call tells the entry point
// alone; static destructors run after it).
extern "C" __declspec(dllimport) BOOLEAN NTAPI RtlDllShutdownInProgress();

namespace Quor {

std::uint32_t currentThreadId() {
  return GetCurrentThreadId();
}

void currentTime(LogRecord& record) {
  SYSTEMTIME now;
  GetLocalTime(&now);
  record.year = now.wYear;
  record.month = now.wMonth;
  record.day = now.wDay;
  record.hour = now.wHour;
  record.minute = now.wMinute;
  record.second = now.wSecond;
  record.millisecond = now.wMilliseconds;
}

void executablePath(char* buffer, std::size_t size) {
  if (buffer == nullptr || size == 0) {
    return;
  }
  const DWORD length = GetModuleFileNameA(nullptr, buffer, static_cast<DWORD>(size));
  // A path cut to fit is terminated by the system from Vista on; earlier
  // systems leave the last byte unterminated.
  if (length == 0) {
    buffer[0] = '\0';
  } else if (length >= size) {
    buffer[size - 1] = '\0';
  }
}

void writeDebuggerOutput(const char* line) {
  OutputDebugStringA(line != nullptr ? line : "");
}

bool processIsExiting() {
  return RtlDllShutdownInProgress() != FALSE;
}

}  // namespace Quor
