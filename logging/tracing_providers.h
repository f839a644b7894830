#pragma once
// The library's four tracing providers. They are registered with the
// system's event tracing when the library is loaded and unregistered when it
// is unloaded; the only event this library writes names the thread that
// loaded it ("Main thread"), on provider 2 when a controller has enabled it.

#include <cstddef>
#include <cstdint>

#include "logging/trace_provider_state.h"
#include "logging/tracing_api.h"

namespace Quor {

inline constexpr std::size_t kTracingProviderCount = 4;

// Provider `index` (0 to 3 for providers 1 to 4).
const TraceGuid& tracingProviderId(std::size_t index);
const TraceProviderState& tracingProviderState(std::size_t index);
bool tracingProviderRegistered(std::size_t index);

// Registers, in order, every provider not registered yet through `api` with
// the enable callback; registers nothing without `api.eventRegister`. Then,
// if provider 2 is enabled, writes the event naming the calling thread
// "Main thread".
void registerTracingProviders(const TracingApi& api);

// Unregisters every registered provider, clears its handle and its enable
// state.
void unregisterTracingProviders();

// Writes the thread-naming event on provider 2 through the registered API:
// the thread's identifier (32 bits) and `name` ("NULL" for a null name),
// with its terminator. Nothing when provider 2 is not registered.
void writeThreadNameEvent(std::uint32_t threadId, const char* name);

// The enable callback of the providers; `context` is the provider's state.
void QCP_STDCALL traceEnableCallback(const TraceGuid* sourceId, std::uint32_t controlCode, std::uint8_t level,
                                     std::uint64_t matchAnyKeyword, std::uint64_t matchAllKeyword, void* filterData,
                                     void* context);

// The thread-naming event's descriptor: informational level, no keyword.
inline constexpr TraceEventDescriptor kThreadNameEvent = {1, 0, 0, 4, 0, 0, 0};

}  // namespace Quor
