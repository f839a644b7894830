#pragma once
// The system's event-tracing functions as the tracing providers call them,
// and the records they exchange. The layouts are those of the system's own
// GUID, EVENT_DESCRIPTOR and EVENT_DATA_DESCRIPTOR (checked against the
// system headers where they exist).

#include <cstddef>
#include <cstdint>

#if defined(__i386__)
#define QCP_STDCALL __attribute__((stdcall))
#else
#define QCP_STDCALL
#endif

namespace Quor {

struct TraceGuid {
  std::uint32_t data1;
  std::uint16_t data2;
  std::uint16_t data3;
  std::uint8_t data4[8];
};
static_assert(sizeof(TraceGuid) == 16);
static_assert(offsetof(TraceGuid, data2) == 4 && offsetof(TraceGuid, data3) == 6 && offsetof(TraceGuid, data4) == 8);

struct TraceEventDescriptor {
  std::uint16_t id;
  std::uint8_t version;
  std::uint8_t channel;
  std::uint8_t level;
  std::uint8_t opcode;
  std::uint16_t task;
  std::uint64_t keyword;
};
static_assert(sizeof(TraceEventDescriptor) == 16);
static_assert(offsetof(TraceEventDescriptor, level) == 4 && offsetof(TraceEventDescriptor, task) == 6 &&
              offsetof(TraceEventDescriptor, keyword) == 8);

// One piece of an event's payload: its address (widened to 64 bits) and size.
struct TraceEventData {
  std::uint64_t pointer;
  std::uint32_t size;
  std::uint32_t reserved;
};
static_assert(sizeof(TraceEventData) == 16);
static_assert(offsetof(TraceEventData, size) == 8 && offsetof(TraceEventData, reserved) == 12);

using TraceRegistrationHandle = std::uint64_t;

// Control codes handed to an enable callback.
inline constexpr std::uint32_t kTraceControlDisable = 0;
inline constexpr std::uint32_t kTraceControlEnable = 1;
inline constexpr std::uint32_t kTraceControlCaptureState = 2;

using TraceEnableCallback = void(QCP_STDCALL*)(const TraceGuid* sourceId, std::uint32_t controlCode,
                                               std::uint8_t level, std::uint64_t matchAnyKeyword,
                                               std::uint64_t matchAllKeyword, void* filterData, void* context);

// Any function may be missing (null).
struct TracingApi {
  std::uint32_t(QCP_STDCALL* eventRegister)(const TraceGuid* providerId, TraceEnableCallback callback, void* context,
                                            TraceRegistrationHandle* handle) = nullptr;
  std::uint32_t(QCP_STDCALL* eventWrite)(TraceRegistrationHandle handle, const TraceEventDescriptor* descriptor,
                                         std::uint32_t dataCount, TraceEventData* data) = nullptr;
  std::uint32_t(QCP_STDCALL* eventUnregister)(TraceRegistrationHandle handle) = nullptr;
  // Ticks per second of the high-resolution counter, read once at load, for
  // time stamps of events; 0 when unknown.
  std::int64_t counterFrequency = 0;
};

// The system's functions, looked up in "Advapi32.dll" at run time; all
// missing when it cannot be loaded, and always natively.
TracingApi loadSystemTracingApi();

}  // namespace Quor
