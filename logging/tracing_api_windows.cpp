#include <windows.h>

#include <evntprov.h>

#include "logging/tracing_api.h"

namespace Quor {

static_assert(sizeof(TraceGuid) == sizeof(GUID));
static_assert(sizeof(TraceEventDescriptor) == sizeof(EVENT_DESCRIPTOR));
static_assert(offsetof(TraceEventDescriptor, keyword) == offsetof(EVENT_DESCRIPTOR, Keyword));
static_assert(sizeof(TraceEventData) == sizeof(EVENT_DATA_DESCRIPTOR));
static_assert(offsetof(TraceEventData, size) == offsetof(EVENT_DATA_DESCRIPTOR, Size));
static_assert(sizeof(TraceRegistrationHandle) == sizeof(REGHANDLE));

TracingApi loadSystemTracingApi() {
  TracingApi api;
  LARGE_INTEGER frequency;
  if (QueryPerformanceFrequency(&frequency)) {
    api.counterFrequency = frequency.QuadPart;
  }
  // Kept loaded for the life of the process: the providers' callbacks may run
  // until the last unregistration.
  const HMODULE advapi = LoadLibraryA("Advapi32.dll");
  if (advapi == nullptr) {
    return api;
  }
  api.eventRegister = reinterpret_cast<decltype(api.eventRegister)>(
      reinterpret_cast<void*>(GetProcAddress(advapi, "EventRegister")));
  api.eventWrite =
      reinterpret_cast<decltype(api.eventWrite)>(reinterpret_cast<void*>(GetProcAddress(advapi, "EventWrite")));
  api.eventUnregister = reinterpret_cast<decltype(api.eventUnregister)>(
      reinterpret_cast<void*>(GetProcAddress(advapi, "EventUnregister")));
  return api;
}

}  // namespace Quor
