#include "host/plugin_base.h"

#include <exception>

#include "binding/format_message.h"
#include "binding/library_allocator.h"
#include "host/plugin_api_version.h"
#include "logging/fatal_error.h"
#include "logging/logger.h"

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
  auto* plugin = static_cast<PluginBase*>(pluginContext);
  bool jobOnThisThread = false;
  try {
    jobOnThisThread = plugin->stopJobs();
  } catch (...) {
  }
  try {
    plugin->shutdown();
  } catch (...) {
    // The object goes regardless; the core is done with it.
  }
  plugin->detachFromHost();
  if (jobOnThisThread) {
    // The core stopped us from inside a job's wait on this thread: the job
    // returns into the object, so the last job to leave destroys it.
    plugin->destroyWhenJobsLeave();
    return;
  }
  try {
    delete plugin;
  } catch (...) {
  }
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
