#pragma once
// The C records exchanged with the core at load and start, and the event
// record exchanged in both directions. Both sides of the ABI include this
// header: the bridge and the host simulator (tools/plugin-host), which must
// never see the bridge's classes. Every function in these tables uses the C
// calling convention.

#include <cstddef>
#include <cstdint>

#include "binding/host_value.h"
#include "binding/memory_statistics.h"
#include "remoting/host_request.h"
#include "remoting/host_response.h"

namespace Quor {

struct HostContext;
struct HostFunctions;
struct HostEventRecord;

// The plugin's three entry points, kept inside the plugin object for its life.
struct PluginEntryPoints {
  std::uint8_t (*start)(void* pluginContext, HostContext* hostContext);  // 1 started, 0 not
  void (*stop)(void* pluginContext);  // the plugin object no longer exists afterwards
  void (*memoryStatistics)(void* pluginContext, MemoryStatistics* statistics);
};

// The record whose address the core passes to the loader entry. The core
// fills the three version words; the loader overwrites them and fills the rest.
struct HostHandshake {
  std::uint32_t apiMajor;
  std::uint32_t apiMinor;
  std::uint32_t apiPatch;
  PluginEntryPoints* entryPoints;
  void* pluginContext;
  const char* pluginName;
  void* registration;  // a HostRegistrationAnswer (remoting/host_endpoint.h)
};

using HostEventCallback = void (*)(HostEventRecord* record);
using HostJobCallback = void (*)(void* context);

// The core's table of functions; each receives the table's own address first.
struct HostFunctions {
  void (*sendRequest)(HostFunctions* self, HostResponse* response, const HostRequest* request);
  void (*hostFunction1)(HostFunctions* self, std::uint32_t a, std::uint32_t b);
  void (*publishEvent)(HostFunctions* self, const HostEventRecord* record);
  std::int32_t (*registerEventHandler)(HostFunctions* self, const char* eventName, std::uint32_t pluginId,
                                       HostEventCallback callback, void* context, std::uint32_t flag);
  std::int32_t (*unregisterEventHandler)(HostFunctions* self, const char* eventName, std::uint32_t pluginId);
  std::int32_t (*scheduleCallback)(HostFunctions* self, const char* jobName, HostJobCallback callback,
                                   void* context, double delaySeconds, std::uint32_t flags);
  std::int32_t (*yield)(HostFunctions* self);
  std::int32_t (*beginWait)(HostFunctions* self, const char* label, std::uint32_t flags);
  std::int32_t (*endWait)(HostFunctions* self);
  void (*log)(HostFunctions* self, std::uint32_t level, const char* message);
};

// The record the core passes to start; the plugin keeps the pointer.
struct HostContext {
  HostFunctions* functions;
  std::uint32_t pluginId;
};

// An event: published by the plugin (context null) or delivered by the host
// (context = the pointer given at registration).
struct HostEventRecord {
  const char* name;
  HostValue payload;
  std::uint32_t flags;
  void* context;
};

// The loader entry the DLL exports.
using PluginLoaderEntry = std::int32_t (*)(HostHandshake* handshake);

static_assert(sizeof(void*) == 4, "the core's records have a 32-bit layout");

static_assert(sizeof(PluginEntryPoints) == 12);
static_assert(offsetof(PluginEntryPoints, start) == 0);
static_assert(offsetof(PluginEntryPoints, stop) == 4);
static_assert(offsetof(PluginEntryPoints, memoryStatistics) == 8);

static_assert(sizeof(HostHandshake) == 28);
static_assert(offsetof(HostHandshake, apiMajor) == 0);
static_assert(offsetof(HostHandshake, apiMinor) == 4);
static_assert(offsetof(HostHandshake, apiPatch) == 8);
static_assert(offsetof(HostHandshake, entryPoints) == 12);
static_assert(offsetof(HostHandshake, pluginContext) == 16);
static_assert(offsetof(HostHandshake, pluginName) == 20);
static_assert(offsetof(HostHandshake, registration) == 24);

static_assert(sizeof(HostFunctions) == 40);
static_assert(offsetof(HostFunctions, sendRequest) == 0);
static_assert(offsetof(HostFunctions, hostFunction1) == 4);
static_assert(offsetof(HostFunctions, publishEvent) == 8);
static_assert(offsetof(HostFunctions, registerEventHandler) == 12);
static_assert(offsetof(HostFunctions, unregisterEventHandler) == 16);
static_assert(offsetof(HostFunctions, scheduleCallback) == 20);
static_assert(offsetof(HostFunctions, yield) == 24);
static_assert(offsetof(HostFunctions, beginWait) == 28);
static_assert(offsetof(HostFunctions, endWait) == 32);
static_assert(offsetof(HostFunctions, log) == 36);

static_assert(sizeof(HostContext) == 8);
static_assert(offsetof(HostContext, functions) == 0);
static_assert(offsetof(HostContext, pluginId) == 4);

static_assert(sizeof(HostEventRecord) == 24);
static_assert(offsetof(HostEventRecord, name) == 0);
static_assert(offsetof(HostEventRecord, payload) == 4);
static_assert(offsetof(HostEventRecord, flags) == 16);
static_assert(offsetof(HostEventRecord, context) == 20);

}  // namespace Quor
