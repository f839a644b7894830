#include "host/plugin_base.h"

#include <exception>

#include "binding/format_message.h"
#include "binding/library_allocator.h"
#include "host/bridge_entry.h"
#include "host/host_call_messages.h"
#include "host/plugin_api_version.h"
#include "logging/fatal_error.h"
#include "logging/logger.h"
#include "remoting/dispatch_messages.h"
#include "remoting/dispatcher.h"

namespace Quor {

namespace {

constexpr const char* incompatibleCore = "ALE-EECF0606";

}  // namespace

PluginBase::PluginBase() {
  entryPoints.start = &PluginBase::start;
  entryPoints.stop = &PluginBase::stop;
  entryPoints.memoryStatistics = &PluginBase::memoryStatistics;
}

PluginBase::~PluginBase() = default;

HostFunctions* PluginBase::hostFunctions() const {
  if (host == nullptr || detached.load(std::memory_order_acquire)) return nullptr;
  return host->functions;
}

void PluginBase::detachFromHost() noexcept {
  detached.store(true, std::memory_order_release);
  // Closing takes the logger's lock, which a line being written holds: once
  // it returns, no line of ours reaches the core's log.
  if (logTarget) logTarget->close();
}

// ---- Forwarding to the core's table -----------------------------------------------------

void PluginBase::sendRequest(HostResponse* response, const HostRequest* request) {
  HostFunctions* functions = hostFunctions();
  if (functions != nullptr && functions->sendRequest != nullptr) functions->sendRequest(functions, response, request);
}

void PluginBase::hostFunction1(std::uint32_t a, std::uint32_t b) {
  HostFunctions* functions = hostFunctions();
  if (functions != nullptr && functions->hostFunction1 != nullptr) functions->hostFunction1(functions, a, b);
}

void PluginBase::publishEvent(const HostEventRecord* record) {
  HostFunctions* functions = hostFunctions();
  if (functions != nullptr && functions->publishEvent != nullptr) functions->publishEvent(functions, record);
}

std::int32_t PluginBase::registerEventHandler(const char* eventName, std::uint32_t id, HostEventCallback callback,
                                              void* context, std::uint32_t flag) {
  HostFunctions* functions = hostFunctions();
  if (functions == nullptr || functions->registerEventHandler == nullptr) return 0;
  return functions->registerEventHandler(functions, eventName, id, callback, context, flag);
}

std::int32_t PluginBase::unregisterEventHandler(const char* eventName, std::uint32_t id) {
  HostFunctions* functions = hostFunctions();
  if (functions == nullptr || functions->unregisterEventHandler == nullptr) return 0;
  return functions->unregisterEventHandler(functions, eventName, id);
}

std::int32_t PluginBase::scheduleCallback(const char* jobName, HostJobCallback callback, void* context,
                                          double delaySeconds, std::uint32_t flags) {
  HostFunctions* functions = hostFunctions();
  if (functions == nullptr || functions->scheduleCallback == nullptr) return 0;
  return functions->scheduleCallback(functions, jobName, callback, context, delaySeconds, flags);
}

std::int32_t PluginBase::yield() {
  HostFunctions* functions = hostFunctions();
  if (functions == nullptr || functions->yield == nullptr) return 0;
  return functions->yield(functions);
}

std::int32_t PluginBase::beginWait(const std::string& label, std::uint32_t flags) {
  HostFunctions* functions = hostFunctions();
  if (functions == nullptr || functions->beginWait == nullptr) return 0;
  return functions->beginWait(functions, label.c_str(), flags);
}

std::int32_t PluginBase::endWait() {
  HostFunctions* functions = hostFunctions();
  if (functions == nullptr || functions->endWait == nullptr) return 0;
  return functions->endWait(functions);
}

void PluginBase::registerEndpoints() {}

bool PluginBase::onStarted() { return true; }

// ---- Load, start, stop -------------------------------------------------------------------------

void PluginBase::load(HostHandshake* handshake, std::string_view shortName) {
  const PluginApiVersion& plugin = pluginApiVersion();
  const PluginApiVersion core{handshake->apiMajor, handshake->apiMinor, handshake->apiPatch, {}, {}};
  if (!isCompatible(plugin, core)) {
    const std::string message =
        FormatMessage("%1 which supports plugin API %2 is not compatible with core's plugin API %3", shortName,
                      versionText(plugin), versionText(core));
    endProcessOnFatalError(incompatibleCore, message.c_str());
  }
  names = GetFullNameFromShortNameAndType(shortName, backendPluginType());
  endpointTags = {"Plugins", "Plugin " + std::string(shortName)};
  transport.setEndpointTags(endpointTags);
  registerBridgeTypes(transport.registry());
  registerEndpoints();
  registrationAnswer = transport.answerRegistration();
  // Every request enters the object first (handleEndpointRequest), found
  // by its endpoint context.
  std::vector<const void*> endpointContexts;
  for (std::uint32_t index = 0; index < registrationAnswer.endpointCount; ++index) {
    HostEndpoint& endpoint = registrationAnswer.endpoints[index];
    endpointContexts.push_back(endpoint.description.context);
    endpoint.handler = &PluginBase::handleEndpointRequest;
  }
  registerEndpointContexts(endpointContexts);

  handshake->apiMajor = plugin.major;
  handshake->apiMinor = plugin.minor;
  handshake->apiPatch = plugin.patch;
  handshake->entryPoints = &entryPoints;
  handshake->pluginContext = static_cast<void*>(this);
  handshake->pluginName = names.shortName.c_str();
  handshake->registration = &registrationAnswer;
}

bool PluginBase::startPlugin(HostContext* hostContext) {
  host = hostContext;
  HostFunctions* functions = host != nullptr ? host->functions : nullptr;
  // Without a table to hand the lines to, the consoles keep them.
  if (functions != nullptr) {
    if (std::unique_ptr<PluginLogTarget> installed = PluginLogTarget::install(functions)) {
      logTarget = std::move(installed);
    }
  }
  connect(host != nullptr ? host->pluginId : 0, names.shortName);
  return onStarted();
}

std::uint8_t PluginBase::start(void* pluginContext, HostContext* hostContext) {
  if (pluginContext == nullptr) return 0;
  // A start after stop, or during one, finds nothing to start.
  const BridgeEntry entry = BridgeEntry::enter(static_cast<PluginBase*>(pluginContext));
  if (!entry.entered()) return 0;
  auto* plugin = static_cast<PluginBase*>(pluginContext);
  try {
    return plugin->startPlugin(hostContext) ? 1 : 0;
  } catch (const std::exception& failure) {
    log(LogLevel::Error, LogCategory::Dbg, "%s: Start failed: %s", plugin->names.shortName.c_str(), failure.what());
  } catch (...) {
    log(LogLevel::Error, LogCategory::Dbg, "%s: Start failed", plugin->names.shortName.c_str());
  }
  return 0;
}

void PluginBase::stop(void* pluginContext) {
  if (pluginContext == nullptr) return;
  // Only the address is taken here; the object is read once it proves live.
  HostBridge* bridge = static_cast<PluginBase*>(pluginContext);
  const StopStart start = beginStop(bridge);
  if (start == StopStart::NotLive) return;
  auto* plugin = static_cast<PluginBase*>(pluginContext);
  if (start == StopStart::OthersStillInside) {
    // The process is exiting with threads it ended inside the object: they
    // may have held its locks, so it is left as it is, cut off from the core.
    plugin->detachFromHost();
    return;
  }
  try {
    plugin->shutdown();
  } catch (...) {
    // The object goes regardless; the core is done with it.
  }
  plugin->detachFromHost();
  destroyAfterStop(bridge);
}

std::uint32_t PluginBase::handleEndpointRequest(HostResponse* response, const HostRequest* request) {
  if (response == nullptr) return 0;
  const void* endpointContext = request != nullptr ? request->endpointContext : nullptr;
  // Held while the request runs: a stop waits for it.
  const BridgeEntry entry = BridgeEntry::enterEndpoint(endpointContext);
  if (entry.entered()) return handleRequest(response, request);
  // What the core hands in is not ours to free.
  resetHostResponse(*response);
  if (entry.outcome() == BridgeEntry::Outcome::Stopping) {
    response->errorMessage = const_cast<char*>(HostCallMessages::pluginStopping);
    response->status = 503;
  } else {
    response->errorMessage = const_cast<char*>(DispatchMessages::invalidFunction);
    response->status = 404;
  }
  response->errorMessageOwned = 0;
  return 0;
}

void PluginBase::memoryStatistics(void* pluginContext, MemoryStatistics* statistics) {
  (void)pluginContext;
  if (statistics == nullptr) return;
  try {
    readMemoryStatistics(*statistics);
  } catch (...) {
  }
}

}  // namespace Quor
