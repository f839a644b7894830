#pragma once
// The native records of the plugin-manager events the bridge registers in
// the type registry: their layout is what the registrations describe, so the
// sizes and offsets the core sees come from here.

#include <cstddef>
#include <cstdint>
#include <string>

#include "binding/static_type.h"
#include "binding/value.h"

namespace Quor::Client {

enum class PluginManagerState : std::int32_t {
  NotReady = 0,
  PluginsInitialized = 1,
};

struct PluginManagerResource {
  PluginManagerState state = PluginManagerState::NotReady;
};

enum class PluginResourceEventType : std::int32_t {
  Create = 0,
  Update = 1,
  Delete = 2,
};

struct PluginResourceEvent {
  std::string uri;
  PluginResourceEventType eventType = PluginResourceEventType::Create;
  Value data;
};

namespace AppModule {

struct PluginLcdsEvent {
  std::string clientId;
  std::string subtopic;
  std::string typeName;
  Value body;
};

struct PluginLcdsResponse {
  std::string typeName;
  Value body;
};

struct PluginServiceProxyResponse {
  std::string uuid;
  std::string serviceName;
  std::string methodName;
  std::string payload;
  std::string status;
  std::string error;
};

}  // namespace AppModule

// A text member takes 24 bytes and a Value 16 aligned to 8, as in the
// layout the registrations announce.
static_assert(sizeof(std::string) == 24);
static_assert(sizeof(Value) == 16 && alignof(Value) == 8);

static_assert(sizeof(PluginManagerState) == 4);
static_assert(sizeof(PluginManagerResource) == 4);
static_assert(offsetof(PluginManagerResource, state) == 0);
static_assert(sizeof(PluginResourceEventType) == 4);

#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winvalid-offsetof"
#endif
static_assert(sizeof(PluginResourceEvent) == 48);
static_assert(offsetof(PluginResourceEvent, uri) == 0);
static_assert(offsetof(PluginResourceEvent, eventType) == 24);
static_assert(offsetof(PluginResourceEvent, data) == 32);

static_assert(sizeof(AppModule::PluginLcdsEvent) == 88);
static_assert(offsetof(AppModule::PluginLcdsEvent, clientId) == 0);
static_assert(offsetof(AppModule::PluginLcdsEvent, subtopic) == 24);
static_assert(offsetof(AppModule::PluginLcdsEvent, typeName) == 48);
static_assert(offsetof(AppModule::PluginLcdsEvent, body) == 72);

static_assert(sizeof(AppModule::PluginLcdsResponse) == 40);
static_assert(offsetof(AppModule::PluginLcdsResponse, typeName) == 0);
static_assert(offsetof(AppModule::PluginLcdsResponse, body) == 24);

static_assert(sizeof(AppModule::PluginServiceProxyResponse) == 144);
static_assert(offsetof(AppModule::PluginServiceProxyResponse, uuid) == 0);
static_assert(offsetof(AppModule::PluginServiceProxyResponse, serviceName) == 24);
static_assert(offsetof(AppModule::PluginServiceProxyResponse, methodName) == 48);
static_assert(offsetof(AppModule::PluginServiceProxyResponse, payload) == 72);
static_assert(offsetof(AppModule::PluginServiceProxyResponse, status) == 96);
static_assert(offsetof(AppModule::PluginServiceProxyResponse, error) == 120);
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

}  // namespace Quor::Client

QUOR_STATIC_TYPE(Quor::Client::PluginManagerState, "enum Quor::Client::PluginManagerState");
QUOR_STATIC_TYPE(Quor::Client::PluginManagerResource, "struct Quor::Client::PluginManagerResource");
QUOR_STATIC_TYPE(Quor::Client::PluginResourceEventType, "enum Quor::Client::PluginResourceEventType");
QUOR_STATIC_TYPE(Quor::Client::PluginResourceEvent, "struct Quor::Client::PluginResourceEvent");
QUOR_STATIC_TYPE(Quor::Client::AppModule::PluginLcdsEvent, "struct Quor::Client::AppModule::PluginLcdsEvent");
QUOR_STATIC_TYPE(Quor::Client::AppModule::PluginLcdsResponse, "struct Quor::Client::AppModule::PluginLcdsResponse");
QUOR_STATIC_TYPE(Quor::Client::AppModule::PluginServiceProxyResponse,
                 "struct Quor::Client::AppModule::PluginServiceProxyResponse");
