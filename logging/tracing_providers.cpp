#include "logging/tracing_providers.h"

#include <cstring>
#include <mutex>

#include "logging/spin_lock.h"

#include "logging/log_platform.h"

namespace Quor {

namespace {

constexpr TraceGuid kProviderIds[kTracingProviderCount] = {
    {0x2F9EFE86, 0x4AF7, 0x4F37, {0xA4, 0x0F, 0x94, 0xB9, 0x09, 0xA1, 0x57, 0xD6}},
    {0xEA08C559, 0x95A8, 0x4AA2, {0xAF, 0xA6, 0x18, 0x73, 0x8E, 0xEC, 0x6D, 0x37}},
    {0x10F6728C, 0xEF92, 0x4BF1, {0x83, 0x97, 0x49, 0xE6, 0x93, 0xA6, 0xEB, 0x74}},
    {0x46DD7F96, 0x60CB, 0x416B, {0x80, 0x85, 0xDA, 0x5C, 0xD8, 0xF4, 0x91, 0xDD}},
};

constexpr std::size_t kThreadProvider = 1;

constexpr TraceEventDefinition kThreadProviderEvents[] = {{kThreadNameEvent.level, kThreadNameEvent.keyword}};

constinit TraceProviderState gStates[kTracingProviderCount] = {
    {nullptr, 0},
    {kThreadProviderEvents, 1},
    {nullptr, 0},
    {nullptr, 0},
};

// Guarded by gRegistrationLock. The enable callback touches only gStates.
constinit SpinLock gRegistrationLock;
TraceRegistrationHandle gHandles[kTracingProviderCount] = {};
TracingApi gApi;

void writeThreadNameEventLocked(std::uint32_t threadId, const char* name) {
  if (gHandles[kThreadProvider] == 0 || gApi.eventWrite == nullptr) {
    return;
  }
  const char* text = name != nullptr ? name : "NULL";
  TraceEventData data[2] = {
      {reinterpret_cast<std::uintptr_t>(&threadId), sizeof threadId, 0},
      {reinterpret_cast<std::uintptr_t>(text), static_cast<std::uint32_t>(std::strlen(text) + 1), 0},
  };
  gApi.eventWrite(gHandles[kThreadProvider], &kThreadNameEvent, 2, data);
}

}  // namespace

const TraceGuid& tracingProviderId(std::size_t index) {
  return kProviderIds[index < kTracingProviderCount ? index : 0];
}

const TraceProviderState& tracingProviderState(std::size_t index) {
  return gStates[index < kTracingProviderCount ? index : 0];
}

bool tracingProviderRegistered(std::size_t index) {
  std::lock_guard lock(gRegistrationLock);
  return index < kTracingProviderCount && gHandles[index] != 0;
}

void QCP_STDCALL traceEnableCallback(const TraceGuid*, std::uint32_t controlCode, std::uint8_t level,
                                     std::uint64_t matchAnyKeyword, std::uint64_t matchAllKeyword, void*,
                                     void* context) {
  if (context != nullptr) {
    static_cast<TraceProviderState*>(context)->control(controlCode, level, matchAnyKeyword, matchAllKeyword);
  }
}

void registerTracingProviders(const TracingApi& api) {
  std::lock_guard lock(gRegistrationLock);
  if (api.eventRegister == nullptr) {
    return;
  }
  bool registeredAny = false;
  for (std::size_t i = 0; i < kTracingProviderCount; ++i) {
    if (gHandles[i] != 0) {
      continue;
    }
    if (!registeredAny) {
      gApi = api;
      registeredAny = true;
    }
    TraceRegistrationHandle handle = 0;
    if (api.eventRegister(&kProviderIds[i], traceEnableCallback, &gStates[i], &handle) == 0) {
      gHandles[i] = handle;
    }
  }
  if (gStates[kThreadProvider].enabled()) {
    writeThreadNameEventLocked(currentThreadId(), "Main thread");
  }
}

void unregisterTracingProviders() {
  std::lock_guard lock(gRegistrationLock);
  for (std::size_t i = 0; i < kTracingProviderCount; ++i) {
    if (gHandles[i] == 0) {
      continue;
    }
    if (gApi.eventUnregister != nullptr) {
      gApi.eventUnregister(gHandles[i]);
    }
    gHandles[i] = 0;
    gStates[i].control(kTraceControlDisable, 0, 0, 0);
  }
}

void writeThreadNameEvent(std::uint32_t threadId, const char* name) {
  std::lock_guard lock(gRegistrationLock);
  writeThreadNameEventLocked(threadId, name);
}

}  // namespace Quor
