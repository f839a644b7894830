#pragma once
// The base of every plugin object: its names, its transport (routes and
// type registry), the entry points the core drives it through, loading
// against a core's handshake, start and stop.
//
// A plugin derives from PluginBase, adds its routes in registerEndpoints()
// (through `transport`) and may override onStarted(). The loader entry
// builds the object through makePluginObject() (host/plugin_object_factory.h).

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "host/host_bridge.h"
#include "host/host_records.h"
#include "host/plugin_log_target.h"
#include "host/plugin_names.h"
#include "remoting/host_endpoint.h"
#include "remoting/transport.h"

namespace Quor {

class PluginBase : public HostBridge {
 public:
  PluginBase();
  ~PluginBase() override;

  // ---- The core's functions, forwarded to HostContext.functions (nothing
  // happens, and 0 is answered, before start) -----------------------------------------
  void sendRequest(HostResponse* response, const HostRequest* request) override;
  void hostFunction1(std::uint32_t a, std::uint32_t b) override;
  void publishEvent(const HostEventRecord* record) override;
  std::int32_t registerEventHandler(const char* eventName, std::uint32_t pluginId, HostEventCallback callback,
                                    void* context, std::uint32_t flag) override;
  std::int32_t unregisterEventHandler(const char* eventName, std::uint32_t pluginId) override;
  std::int32_t scheduleCallback(const char* jobName, HostJobCallback callback, void* context, double delaySeconds,
                                std::uint32_t flags) override;
  std::int32_t yield() override;
  std::int32_t beginWait(const std::string& label, std::uint32_t flags) override;
  std::int32_t endWait() override;

  // Adds the plugin's routes to `transport`; nothing here.
  virtual void registerEndpoints();
  // start's answer; true here.
  virtual bool onStarted();

  // Loads the plugin against the core's handshake: checks the core's
  // plugin-API version (an incompatible core ends the process with
  // "ALE-EECF0606", nothing of the handshake written), sets the names and
  // endpoint tags, registers the bridge's types and events, calls
  // registerEndpoints(), builds the registration answer and writes the
  // handshake's outputs.
  void load(HostHandshake* handshake, std::string_view shortName);

  // The entry points the core calls; none lets an exception out.
  static std::uint8_t start(void* pluginContext, HostContext* hostContext);
  // Safe whatever is running inside the object, on whatever thread: from
  // then on requests are answered 503 "Plugin is stopping" and events and
  // jobs do nothing; jobs not started are freed and never run; the entries
  // on other threads (requests, event handlers, jobs) are waited for, the
  // running jobs told to end; every handler is removed at the core and the
  // log target is closed; then the object is destroyed. When the core calls
  // it from inside an entry on that entry's own thread (its yield, a wait,
  // a handler), that entry is not waited for: it returns into the object,
  // which its outermost leave destroys. A second stop, one on another
  // thread at the same time and a start after stop do nothing. Nothing of
  // the object calls the core once stop has returned, but for the release
  // functions of an answer the core handed in.
  static void stop(void* pluginContext);
  static void memoryStatistics(void* pluginContext, MemoryStatistics* statistics);

  const PluginNames& pluginNames() const { return names; }
  const std::vector<std::string>& pluginEndpointTags() const { return endpointTags; }
  Transport& pluginTransport() { return transport; }
  HostContext* hostContext() const { return host; }
  // False before start and once stop has cut the object off from the core.
  bool canReachHost() const { return hostFunctions() != nullptr; }
  const PluginEntryPoints& pluginEntryPoints() const { return entryPoints; }
  const HostRegistrationAnswer& pluginRegistrationAnswer() const { return registrationAnswer; }
  PluginLogTarget* pluginLogTarget() const { return logTarget.get(); }

 protected:
  // Start without the C boundary: the host table, the log target, the
  // bridge's connection, then onStarted().
  bool startPlugin(HostContext* hostContext);
  // The handler of every endpoint record: enters the object that owns the
  // request's endpoint context, then dispatches (remoting/dispatcher.h).
  // Refused: 503 "Plugin is stopping" once stop has begun, 404 "Invalid
  // function" for a context of no live object.
  static std::uint32_t handleEndpointRequest(HostResponse* response, const HostRequest* request);
  // The core's table, or null before start and once stop has detached us.
  HostFunctions* hostFunctions() const;
  // The end of stop: no call reaches the core's table any more and the log
  // target is closed.
  void detachFromHost() noexcept;

  std::unique_ptr<PluginLogTarget> logTarget;
  PluginNames names;
  std::vector<std::string> endpointTags;
  Transport transport;
  HostContext* host = nullptr;
  PluginEntryPoints entryPoints{};
  HostRegistrationAnswer registrationAnswer{};
  std::atomic<bool> detached{false};
};

}  // namespace Quor
