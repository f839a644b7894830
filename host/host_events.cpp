#include <cstring>
#include <exception>
#include <vector>

#include "binding/host_value.h"
#include "host/bridge_entry.h"
#include "host/host_bridge.h"
#include "host/resource_event_name.h"
#include "logging/logger.h"

namespace Quor {

namespace {

using Client::PluginResourceEvent;
using Client::AppModule::PluginServiceProxyResponse;

// The event's payload as the native record T; false when it does not
// convert (such events are dropped without a word).
template <class T>
bool payloadAs(const HostEventRecord& record, const TypeRegistry* registry, T& target) {
  Value payload;
  if (!hostValueToValue(payload, record.payload, HostCallMessages::resultName)) return false;
  return assignFromValue(target, payload, HostCallMessages::resultName, registry).ok();
}

// The base event every resource event is also published under; the exact
// and pattern handlers listen there.
const std::string& baseResourceEventName() {
  static const std::string name = resourceEventName("/");
  return name;
}

std::string withLeadingSlash(std::string path) {
  if (path.empty() || path.front() != '/') path.insert(path.begin(), '/');
  return path;
}

// Runs one event handler; one that throws is logged, and nothing unwinds
// into the core's frames or keeps the other handlers of the event from
// running.
template <class Call>
void runEventHandler(const std::string& pluginName, const char* eventName, const Call& call) {
  try {
    call();
  } catch (const std::exception& failure) {
    log(LogLevel::Error, LogCategory::Dbg, "%s: The handler of event %s ended with an exception: %s",
        pluginName.c_str(), eventName, failure.what());
  } catch (...) {
    log(LogLevel::Error, LogCategory::Dbg, "%s: The handler of event %s ended with an exception",
        pluginName.c_str(), eventName);
  }
}

}  // namespace

Expected<void> HostBridge::publishResourceEvent(std::string_view baseName, const PluginResourceEvent& event,
                                                std::uint32_t flags) {
  ValueResult converted;
  convertToValue(converted, event, registry);
  if (!converted) {
    PluginError error;
    error.message = std::string(converted.error());
    return error;
  }
  const std::string specificName = resourceEventName(event.uri);
  HostValue payload;
  std::memset(static_cast<void*>(&payload), 0, sizeof payload);
  const HostValueRelease payloadRelease(payload);
  std::string error;
  if (!valueToHostValue(payload, converted.value(), registry, &error)) {
    PluginError failure;
    failure.message = error;
    return failure;
  }

  HostEventRecord record;
  std::memset(static_cast<void*>(&record), 0, sizeof record);
  record.name = specificName.c_str();
  record.payload = payload;
  record.flags = flags;
  publishEvent(&record);
  if (baseName != specificName) {
    const std::string base(baseName);
    record.name = base.c_str();
    publishEvent(&record);
  }
  return {};
}

void HostBridge::subscribe(const std::string& uri) {
  const std::string name = resourceEventName(uri);
  std::unique_lock lock(handlerMutex);
  subscribeLocked(lock, name);
}

void HostBridge::unsubscribe(const std::string& uri) {
  const std::string name = resourceEventName(uri);
  std::unique_lock lock(handlerMutex);
  unsubscribeLocked(lock, name);
}

void HostBridge::subscribeLocked(std::unique_lock<std::mutex>& lock, const std::string& name) {
  ++subscriptionCounts[name];
  settleSubscription(lock, name);
}

void HostBridge::unsubscribeLocked(std::unique_lock<std::mutex>& lock, const std::string& name) {
  // Without an active subscription there is nothing to undo; counting
  // below zero would keep the next subscribe from registering.
  const auto found = subscriptionCounts.find(name);
  if (found == subscriptionCounts.end()) return;
  if (--found->second <= 0) subscriptionCounts.erase(found);
  settleSubscription(lock, name);
}

void HostBridge::settleSubscription(std::unique_lock<std::mutex>& lock, const std::string& name) {
  // Another thread is at it and will see the count as changed here.
  if (!settlingSubscriptions.try_emplace(name, std::this_thread::get_id()).second) return;
  const auto done = [&] {
    if (!lock.owns_lock()) lock.lock();
    settlingSubscriptions.erase(name);
    subscriptionSettled.notify_all();
  };
  try {
    // Once shutdown has unregistered everything, nothing reaches the core.
    while (!handlersClosed) {
      const bool wanted = subscriptionCounts.contains(name);
      if (wanted == eventHandlers.contains(name)) break;
      // The core is called unlocked: its event threads, and callbacks it
      // may make from inside the call, take handlerMutex.
      lock.unlock();
      if (wanted) {
        // Exact and pattern handlers listen on the base event alone: an
        // event published under its path's name too would reach them twice.
        ResourceEventHandler dispatch;
        if (name == baseResourceEventName()) {
          dispatch = [this](const PluginResourceEvent& event) { dispatchResourceEvent(event); };
        }
        registerResourceHandler(name, std::move(dispatch), 0);
        lock.lock();
      } else {
        unregisterEventHandler(name.c_str(), pluginId);
        lock.lock();
        eventHandlers.erase(name);
      }
    }
  } catch (...) {
    done();
    throw;
  }
  done();
}

std::int32_t HostBridge::registerResourceHandler(const std::string& eventName, ResourceEventHandler handler,
                                                 std::uint32_t flag) {
  auto holder = std::make_shared<EventHandlerHolder>();
  holder->resource = std::move(handler);
  return registerHandler(eventName, std::move(holder), &HostBridge::onResourceEvent, flag);
}

std::int32_t HostBridge::registerProxyHandler(const std::string& eventName, ProxyResponseHandler handler,
                                              std::uint32_t flag) {
  auto holder = std::make_shared<EventHandlerHolder>();
  holder->proxy = std::move(handler);
  return registerHandler(eventName, std::move(holder), &HostBridge::onProxyEvent, flag);
}

std::int32_t HostBridge::registerHandler(const std::string& eventName, std::shared_ptr<EventHandlerHolder> holder,
                                         HostEventCallback callback, std::uint32_t flag) {
  {
    std::lock_guard lock(handlerMutex);
    if (handlersClosed) return 0;
    eventHandlers[eventName] = std::move(holder);
  }
  return registerEventHandler(eventName.c_str(), pluginId, callback, static_cast<void*>(this), flag);
}

// Both callbacks: find the holder of the record's name, convert the payload
// to the holder's record type and call its handler. Unknown names and
// payloads that do not convert are dropped.
template <class Payload, class Handler>
void HostBridge::deliverEvent(HostEventRecord* record, Handler EventHandlerHolder::*handler) {
  if (record == nullptr || record->context == nullptr || record->name == nullptr) return;
  try {
    // Held while the handler runs: a stop waits for it. An object that is
    // gone or stopping gets nothing.
    const BridgeEntry entry = BridgeEntry::enter(static_cast<const HostBridge*>(record->context));
    HostBridge* bridge = entry.bridge();
    if (bridge == nullptr) return;
    std::shared_ptr<EventHandlerHolder> holder;
    {
      std::lock_guard lock(bridge->handlerMutex);
      const auto found = bridge->eventHandlers.find(record->name);
      if (found == bridge->eventHandlers.end()) return;
      holder = found->second;
    }
    const Handler& call = (*holder).*handler;
    Payload payload;
    if (!call || !payloadAs(*record, bridge->registry, payload)) return;
    runEventHandler(bridge->pluginName, record->name, [&] { call(payload); });
  } catch (...) {
    // Nothing may unwind into the core's frames.
  }
}

void HostBridge::onResourceEvent(HostEventRecord* record) {
  deliverEvent<PluginResourceEvent>(record, &EventHandlerHolder::resource);
}

void HostBridge::onProxyEvent(HostEventRecord* record) {
  deliverEvent<PluginServiceProxyResponse>(record, &EventHandlerHolder::proxy);
}

void HostBridge::dispatchResourceEvent(const PluginResourceEvent& event) {
  const std::string path = withLeadingSlash(event.uri);
  std::vector<ResourceEventHandler> handlers;
  {
    std::lock_guard lock(handlerMutex);
    if (const auto exact = exactResourceHandlers.find(path); exact != exactResourceHandlers.end()) {
      handlers.push_back(exact->second);
    }
    for (const auto& [pattern, handler] : patternResourceHandlers) {
      if (resourcePatternMatches(pattern, path)) handlers.push_back(handler);
    }
  }
  for (const ResourceEventHandler& handler : handlers) {
    if (handler) runEventHandler(pluginName, baseResourceEventName().c_str(), [&] { handler(event); });
  }
}

void HostBridge::addExactResourceHandler(const std::string& path, ResourceEventHandler handler) {
  addResourceHandler(exactResourceHandlers, withLeadingSlash(path), std::move(handler));
}

void HostBridge::addPatternResourceHandler(const std::string& pattern, ResourceEventHandler handler) {
  addResourceHandler(patternResourceHandlers, pattern, std::move(handler));
}

void HostBridge::removeExactResourceHandler(const std::string& path) {
  removeResourceHandler(exactResourceHandlers, withLeadingSlash(path));
}

void HostBridge::removePatternResourceHandler(const std::string& pattern) {
  removeResourceHandler(patternResourceHandlers, pattern);
}

// The table and the base subscription change under one lock, so that an add
// and a remove of one key on two threads leave the count as the table.
void HostBridge::addResourceHandler(ResourceHandlerTable& table, const std::string& key, ResourceEventHandler handler) {
  std::unique_lock lock(handlerMutex);
  if (table.insert_or_assign(key, std::move(handler)).second) subscribeLocked(lock, baseResourceEventName());
}

void HostBridge::removeResourceHandler(ResourceHandlerTable& table, const std::string& key) {
  std::unique_lock lock(handlerMutex);
  if (table.erase(key) != 0) unsubscribeLocked(lock, baseResourceEventName());
}

}  // namespace Quor
