#include "host/host_bridge.h"

#include <cstddef>
#include <vector>

#include "host/event_type_registration.h"
#include "host/telemetry_sender.h"
#include "logging/log_platform.h"

namespace Quor {

HostBridge::HostBridge() { registerLive(); }

HostBridge::~HostBridge() {
  forgetLive();
  dropPendingJobs();
}

void HostBridge::connect(std::uint32_t id, std::string_view name) {
  pluginId = id;
  pluginName = std::string(name);
  telemetry = std::make_unique<TelemetrySender>(this);
  using Client::AppModule::PluginServiceProxyResponse;
  registerProxyHandler("OnServiceProxyUuidEvent",
                       [this](const PluginServiceProxyResponse& response) { onProxyUuid(response); });
  registerProxyHandler("OnServiceProxyMethodEvent",
                       [this](const PluginServiceProxyResponse& response) { onProxyMethod(response); });
  registerProxyHandler("OnServiceProxyAsyncEvent",
                       [this](const PluginServiceProxyResponse& response) { onProxyAsync(response); });
}

void HostBridge::shutdown() {
  std::vector<std::string> registered;
  {
    std::unique_lock lock(handlerMutex);
    // From here on no handler is registered at the core. A registration
    // another thread is making there right now finishes first, so that the
    // loop below unregisters it too; one on this thread (the core stopped
    // the plugin from inside it) sees the change when the core returns.
    handlersClosed = true;
    const std::thread::id self = std::this_thread::get_id();
    const auto settlingElsewhere = [&] {
      for (const auto& [name, thread] : settlingSubscriptions) {
        if (thread != self) return true;
      }
      return false;
    };
    while (settlingElsewhere() && !processIsExiting()) subscriptionSettled.wait_for(lock, std::chrono::milliseconds(100));
    registered.reserve(eventHandlers.size());
    for (const auto& entry : eventHandlers) registered.push_back(entry.first);
  }
  for (const std::string& name : registered) unregisterEventHandler(name.c_str(), pluginId);
  {
    std::lock_guard lock(handlerMutex);
    eventHandlers.clear();
    // Every registration at the core is gone, so is every subscription.
    subscriptionCounts.clear();
  }
  {
    std::lock_guard lock(proxyMutex);
    pendingProxyRequests.clear();
    asyncProxyHandlers.clear();
    proxyResponses.clear();
  }
  std::lock_guard lock(handlerMutex);
  exactResourceHandlers.clear();
  patternResourceHandlers.clear();
}

void HostBridge::registerBridgeTypes(TypeRegistry& typeRegistry) {
  using namespace Client;
  using namespace Client::AppModule;
  registry = &typeRegistry;
  registerPluginEventTypes(typeRegistry);

  struct BridgeEvent {
    const char* name;
    const TypeDescription* payload;
    const char* description;
  };
  const BridgeEvent events[] = {
      {"OnJsonApiEvent", typeRegistry.find<PluginResourceEvent>(), "Fired when a resource is changed."},
      {"OnLcdsEvent", typeRegistry.find<PluginLcdsEvent>(),
       "Fired when a message is received over the LCDS connection."},
      {"OnServiceProxyUuidEvent", typeRegistry.find<PluginServiceProxyResponse>(),
       "Fired when a uuid-based service proxy message is received."},
      {"OnServiceProxyMethodEvent", typeRegistry.find<PluginServiceProxyResponse>(),
       "Fired when a method-based service proxy message is received."},
      {"OnServiceProxyAsyncEvent", typeRegistry.find<PluginServiceProxyResponse>(),
       "Fired when an async service proxy message is received."},
  };
  for (const BridgeEvent& event : events) {
    auto description = std::make_shared<EventDescription>();
    description->name = event.name;
    description->description = event.description;
    description->payload = event.payload;
    description->tags = {"qclient"};
    typeRegistry.addEvent(std::move(description));
  }
}

std::int64_t HostBridge::subscriptionCount(const std::string& eventName) {
  std::lock_guard lock(handlerMutex);
  const auto found = subscriptionCounts.find(eventName);
  return found != subscriptionCounts.end() ? found->second : 0;
}

}  // namespace Quor
