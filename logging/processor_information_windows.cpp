#include <windows.h>

#include "logging/processor_information.h"

namespace Quor {

ProcessorInformationLookup lookUpProcessorInformation() {
  using VerifyVersionInfoFunction = BOOL(WINAPI*)(LPOSVERSIONINFOEXA, DWORD, DWORDLONG);
  using ConditionMaskFunction = ULONGLONG(WINAPI*)(ULONGLONG, DWORD, BYTE);

  ProcessorInformationLookup result;
  const HMODULE kernel = GetModuleHandleA("kernel32");
  if (kernel == nullptr) {
    return result;
  }
  const auto verifyVersion = reinterpret_cast<VerifyVersionInfoFunction>(
      reinterpret_cast<void*>(GetProcAddress(kernel, "VerifyVersionInfoA")));
  const auto conditionMask = reinterpret_cast<ConditionMaskFunction>(
      reinterpret_cast<void*>(GetProcAddress(kernel, "VerSetConditionMask")));
  if (verifyVersion == nullptr || conditionMask == nullptr) {
    return result;
  }
  OSVERSIONINFOEXA version = {};
  version.dwOSVersionInfoSize = sizeof version;
  version.dwMajorVersion = 6;
  version.dwMinorVersion = 0;
  version.wServicePackMajor = 0;
  version.wServicePackMinor = 0;
  ULONGLONG mask = 0;
  mask = conditionMask(mask, VER_MAJORVERSION, VER_GREATER_EQUAL);
  mask = conditionMask(mask, VER_MINORVERSION, VER_GREATER_EQUAL);
  mask = conditionMask(mask, VER_SERVICEPACKMAJOR, VER_GREATER_EQUAL);
  mask = conditionMask(mask, VER_SERVICEPACKMINOR, VER_GREATER_EQUAL);
  const DWORD tested = VER_MAJORVERSION | VER_MINORVERSION | VER_SERVICEPACKMAJOR | VER_SERVICEPACKMINOR;
  if (!verifyVersion(&version, tested, mask)) {
    // Older than required (or the check itself failed: then try again later).
    if (GetLastError() != ERROR_OLD_WIN_VERSION) {
      return result;
    }
    result.outcome = ProcessorInformationLookup::Outcome::Absent;
    return result;
  }
  result.function = reinterpret_cast<ProcessorInformationFunction>(
      reinterpret_cast<void*>(GetProcAddress(kernel, "GetLogicalProcessorInformation")));
  result.outcome = result.function != nullptr ? ProcessorInformationLookup::Outcome::Found
                                              : ProcessorInformationLookup::Outcome::Absent;
  return result;
}

}  // namespace Quor
