#pragma once
// Registers the plugin-manager records (host/plugin_event_records.h) in a
// type registry, each tagged "qclient", in the order the core's API
// description lists them. Header-only, so the value-model tests can register
// the same records without linking the bridge.

#include <cstddef>
#include <string>

#include "binding/type_registry.h"
#include "host/plugin_event_records.h"

namespace Quor {

inline void registerPluginEventTypes(TypeRegistry& registry) {
  using namespace Client;
  using namespace Client::AppModule;
  registry.registerEnum<PluginManagerState>("PluginManagerState")
      .addEnumValue("NotReady", 0)
      .addEnumValue("PluginsInitialized", 1)
      .addTag("qclient");
  registry.registerStruct<PluginManagerResource>("PluginManagerResource")
      .field<PluginManagerState>("state", offsetof(PluginManagerResource, state))
      .addTag("qclient");
  registry.registerEnum<PluginResourceEventType>("PluginResourceEventType")
      .addEnumValue("Create", 0)
      .addEnumValue("Update", 1)
      .addEnumValue("Delete", 2)
      .addTag("qclient");
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winvalid-offsetof"
#endif
  registry.registerStruct<PluginResourceEvent>("PluginResourceEvent")
      .field<std::string>("uri", offsetof(PluginResourceEvent, uri))
      .field<PluginResourceEventType>("eventType", offsetof(PluginResourceEvent, eventType))
      .field<Value>("data", offsetof(PluginResourceEvent, data))
      .addTag("qclient");
  registry.registerStruct<PluginLcdsEvent>("PluginLcdsEvent")
      .field<std::string>("clientId", offsetof(PluginLcdsEvent, clientId))
      .field<std::string>("subtopic", offsetof(PluginLcdsEvent, subtopic))
      .field<std::string>("typeName", offsetof(PluginLcdsEvent, typeName))
      .field<Value>("body", offsetof(PluginLcdsEvent, body))
      .addTag("qclient");
  registry.registerStruct<PluginLcdsResponse>("PluginLcdsResponse")
      .field<std::string>("typeName", offsetof(PluginLcdsResponse, typeName))
      .field<Value>("body", offsetof(PluginLcdsResponse, body))
      .addTag("qclient");
  registry.registerStruct<PluginServiceProxyResponse>("PluginServiceProxyResponse")
      .field<std::string>("uuid", offsetof(PluginServiceProxyResponse, uuid))
      .field<std::string>("serviceName", offsetof(PluginServiceProxyResponse, serviceName))
      .field<std::string>("methodName", offsetof(PluginServiceProxyResponse, methodName))
      .field<std::string>("payload", offsetof(PluginServiceProxyResponse, payload))
      .field<std::string>("status", offsetof(PluginServiceProxyResponse, status))
      .field<std::string>("error", offsetof(PluginServiceProxyResponse, error))
      .addTag("qclient");
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif
}

}  // namespace Quor
