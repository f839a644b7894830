#pragma once
// The bridge between a plugin object and the core: typed requests to the
// core's endpoints, one-shot jobs, cooperative waiting, resource events in
// both directions with reference-counted subscriptions, the service-proxy
// bookkeeping, and the telemetry sender.
//
// The host functions themselves are the plugin object's virtual operations
// (PluginBase forwards them to the core's table); everything here is built
// on them, so a test can stand in for the core with a table of its own.
//
// Locks: the process-wide table's lock (host/bridge_table.h) guards the live
// objects, their entries and the jobs of every bridge, proxyMutex the three
// proxy tables, handlerMutex the handler and subscription tables. None is held while the core is called, a job's work
// or an event handler runs; proxyMutex is held while an async proxy handler
// or a pending request's completion runs, so those must not call back into
// the proxy bookkeeping.

#include <atomic>
#include <chrono>
#include <concepts>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <type_traits>
#include <unordered_map>
#include <vector>

#include "binding/type_registry.h"
#include "binding/typed_conversion.h"
#include "binding/value.h"
#include "host/event_subscriptions.h"
#include "host/host_call_messages.h"
#include "host/host_records.h"
#include "host/plugin_event_records.h"
#include "logging/expected.h"
#include "logging/plugin_error.h"
#include "remoting/request_method.h"

namespace Quor {

class TelemetrySender;
class HostBridge;

using ResourceEventHandler = std::function<void(const Client::PluginResourceEvent&)>;
using ProxyResponseHandler = std::function<void(const Client::AppModule::PluginServiceProxyResponse&)>;

// The handler registered at the core under one event name: a resource
// handler or a proxy handler, by the kind of registration.
struct EventHandlerHolder {
  ResourceEventHandler resource;
  ProxyResponseHandler proxy;
};

// The error of a failed call: code (set when not 0), then the fields
// "method", "url" and "error", and the template filled with them.
PluginError hostCallError(std::int32_t code, const char* messageTemplate, RequestMethod method,
                          std::string_view path, std::string_view error);

namespace detail {

template <class T>
concept TextMap = requires {
  typename T::key_type;
  typename T::mapped_type;
} && std::same_as<typename T::key_type, std::string> && std::same_as<typename T::mapped_type, std::string>;

// A call's parameter as the Value it is sent as: bool as bool, an integer as
// an unsigned 64-bit value, a map of texts as a structure of strings, a
// Value as it is, anything else by the native conversion rules.
template <class Parameter>
ValueResult callParameterValue(const Parameter& parameter, const TypeRegistry* registry) {
  ValueResult result;
  if constexpr (std::is_same_v<Parameter, bool>) {
    result.value().setBool(parameter);
  } else if constexpr (std::is_integral_v<Parameter>) {
    result.value().setUnsigned(static_cast<std::uint64_t>(parameter));
  } else if constexpr (TextMap<Parameter>) {
    result.value().makeStructure();
    for (const auto& [name, text] : parameter) result.value().writeMember(name).setString(text);
  } else if constexpr (std::is_same_v<Parameter, Value>) {
    result.value() = parameter;
  } else {
    convertToValue(result, parameter, registry);
  }
  return result;
}

}  // namespace detail

class HostBridge : public EventSubscriptions {
 public:
  HostBridge();
  HostBridge(const HostBridge&) = delete;
  HostBridge& operator=(const HostBridge&) = delete;

  // ---- Virtual operations, in table order ------------------------------------------
  // Reference-counted subscription to the event of a resource path: the
  // first subscribe of a name registers a handler at the core, the
  // unsubscribe that brings the count back to 0 removes it. An unsubscribe
  // of a name without subscriptions does nothing. Safe on any thread: one
  // thread at a time calls the core for a name, and it goes on until the
  // registration matches the count, so a call that meets it at work returns
  // at once and leaves its change to it. The handler of a path's own name
  // calls nothing (the exact and pattern handlers hear the base event).
  void subscribe(const std::string& uri) override;
  void unsubscribe(const std::string& uri) override;
  virtual ~HostBridge();
  // Removes every event handler at the core and empties every table.
  virtual void shutdown();
  // The core's functions 0 to 8, forwarded unchanged.
  virtual void sendRequest(HostResponse* response, const HostRequest* request) = 0;
  virtual void hostFunction1(std::uint32_t a, std::uint32_t b) = 0;
  virtual void publishEvent(const HostEventRecord* record) = 0;
  virtual std::int32_t registerEventHandler(const char* eventName, std::uint32_t pluginId,
                                            HostEventCallback callback, void* context, std::uint32_t flag) = 0;
  virtual std::int32_t unregisterEventHandler(const char* eventName, std::uint32_t pluginId) = 0;
  virtual std::int32_t scheduleCallback(const char* jobName, HostJobCallback callback, void* context,
                                        double delaySeconds, std::uint32_t flags) = 0;
  virtual std::int32_t yield() = 0;
  virtual std::int32_t beginWait(const std::string& label, std::uint32_t flags) = 0;
  virtual std::int32_t endWait() = 0;

  // ---- Requests to the core ------------------------------------------------------------
  // A synchronous request to one of the core's endpoints. The parameter
  // travels as the single positional argument; the answer's body (or its
  // streamed text, read as JSON) is assigned to Result under "<result>".
  // Result void ignores the body. Failures: 400 when the parameter does not
  // convert (the core is not contacted), the answer's status when the core
  // answers with an error text, 0 when the stream or the answer cannot be
  // read or converted.
  template <class Result, class Parameter>
  Expected<Result> call(RequestMethod method, std::string_view path, const Parameter& parameter) {
    ValueResult argument = detail::callParameterValue(parameter, registry);
    if (!argument) return hostCallError(400, HostCallMessages::notSent, method, path, argument.error());
    return finishCall<Result>(method, path, &argument.value());
  }
  template <class Result>
  Expected<Result> call(RequestMethod method, std::string_view path) {
    return finishCall<Result>(method, path, nullptr);
  }

  // Sends the request with argument (null for none) and answers the body as
  // a Value (empty when wantResult is false).
  Expected<Value> sendCall(RequestMethod method, std::string_view path, const Value* argument, bool wantResult);

  // ---- Jobs and waiting -------------------------------------------------------------------
  // Asks the core to run work once, at dueTime (at once when it has passed);
  // answers the core's result (0, and nothing asked, once stop began).
  // The job is known by an id from 1 up until its work has run. The core
  // gets a process-wide ticket as the callback's context, never a pointer:
  // a callback for a job that was dropped at stop finds no ticket and does
  // nothing.
  std::int32_t scheduleJob(std::string_view name, std::function<void()> work,
                           std::chrono::steady_clock::time_point dueTime);
  // ---- Stop -----------------------------------------------------------------------------
  enum class StopStart {
    NotLive,             // not a live object, or its stop has begun already: do nothing
    Ready,               // no other thread is inside the object any more
    OthersStillInside,   // the process is exiting and threads it ended are left inside
  };
  // The first half of stop, for the object at `bridge` (compared with the
  // live objects, never read unless it is one): from now on stopRequested()
  // answers true, no request, event or job enters it and no job is
  // scheduled; the jobs not started yet are freed; then waits, in slices,
  // until no other thread is inside it. Entries on the calling thread (the
  // core stopped the plugin from inside its own yield, wait or handler) are
  // not waited for, nor, once the process exits, threads the exit ended.
  static StopStart beginStop(HostBridge* bridge);
  // The end of stop: destroys the object now, or, when the calling thread
  // is inside it, leaves that to its outermost entry.
  static void destroyAfterStop(HostBridge* bridge);
  // Whether stop has begun; a running job asks between its steps and ends
  // early.
  bool stopRequested() const { return stopping.load(std::memory_order_acquire); }
  // The endpoint contexts of this object's transport, by which a request
  // finds the object to enter (BridgeEntry::enterEndpoint).
  void registerEndpointContexts(const std::vector<const void*>& contexts);

  // One cooperative wait step: beginWait("Wait: yield", 0), yield(), endWait().
  void waitYield();

  // ---- Events ---------------------------------------------------------------------------------
  // Publishes event under the event name of its uri, then under baseName
  // when that differs. The feature publishes with "OnJsonApiEvent" and flags 0.
  Expected<void> publishResourceEvent(std::string_view baseName, const Client::PluginResourceEvent& event,
                                      std::uint32_t flags = 0);

  // Registers handler at the core for eventName (replacing the handler held
  // for that name) and answers the core's result. The flag is 0 for
  // subscriptions and 1 for the service-proxy events.
  std::int32_t registerResourceHandler(const std::string& eventName, ResourceEventHandler handler,
                                       std::uint32_t flag = 0);
  std::int32_t registerProxyHandler(const std::string& eventName, ProxyResponseHandler handler,
                                    std::uint32_t flag = 1);

  // The callbacks given to the core: the record's context is the bridge.
  static void onResourceEvent(HostEventRecord* record);
  static void onProxyEvent(HostEventRecord* record);

  // Calls the handler of the event's path (exact) and of every pattern that
  // matches it; a uri without a leading "/" gets one. A handler that throws
  // is logged at ERROR and the others still run.
  void dispatchResourceEvent(const Client::PluginResourceEvent& event);

  // Resource handlers by exact path or wildcard pattern
  // (resourcePatternMatches). They listen on the base event
  // "OnJsonApiEvent", under which every resource event is also published,
  // so each event reaches them once whatever else is subscribed: adding one
  // subscribes to it, removing one unsubscribes.
  void addExactResourceHandler(const std::string& path, ResourceEventHandler handler);
  void addPatternResourceHandler(const std::string& pattern, ResourceEventHandler handler);
  void removeExactResourceHandler(const std::string& path);
  void removePatternResourceHandler(const std::string& pattern);

  // Service-proxy answers. Keys: the uuid, or "service.method".
  void onProxyUuid(const Client::AppModule::PluginServiceProxyResponse& response);
  void onProxyMethod(const Client::AppModule::PluginServiceProxyResponse& response);
  void onProxyAsync(const Client::AppModule::PluginServiceProxyResponse& response);
  // Completes at most one pending request whose answer is stored.
  void fulfilProxyRequests();
  // A completion for the answer stored under key (run at once when it is
  // there already), and a handler of async answers under key.
  void addPendingProxyRequest(const std::string& key, ProxyResponseHandler completion);
  void addAsyncProxyHandler(const std::string& key, ProxyResponseHandler handler);

  // ---- State ----------------------------------------------------------------------------------
  // Called at start: the plugin's identity and name, the telemetry sender
  // and the three service-proxy handlers.
  void connect(std::uint32_t id, std::string_view name);

  TypeRegistry* typeRegistry() const { return registry; }
  TelemetrySender* telemetrySender() const { return telemetry.get(); }
  std::uint32_t hostPluginId() const { return pluginId; }
  const std::string& bridgeName() const { return pluginName; }
  std::size_t pendingJobCount();
  // The current count of subscribe calls for an event name.
  std::int64_t subscriptionCount(const std::string& eventName);
  std::size_t storedProxyResponseCount();

 protected:
  // Registers the bridge's event payload types and its five events in
  // typeRegistry and keeps it for every conversion.
  void registerBridgeTypes(TypeRegistry& typeRegistry);

  using ResourceHandlerTable = std::unordered_map<std::string, ResourceEventHandler>;
  ResourceHandlerTable exactResourceHandlers;
  ResourceHandlerTable patternResourceHandlers;
  TypeRegistry* registry = nullptr;
  std::uint32_t pluginId = 0;
  std::string pluginName;
  std::unique_ptr<TelemetrySender> telemetry;
  std::unordered_map<std::string, std::shared_ptr<EventHandlerHolder>> eventHandlers;
  std::unordered_map<std::string, std::int64_t> subscriptionCounts;
  // Names whose registration at the core a thread (the value) is bringing
  // in line with subscriptionCounts.
  std::unordered_map<std::string, std::thread::id> settlingSubscriptions;
  std::unordered_map<std::string, ProxyResponseHandler> pendingProxyRequests;
  std::unordered_map<std::string, ProxyResponseHandler> asyncProxyHandlers;
  std::unordered_map<std::string, Client::AppModule::PluginServiceProxyResponse> proxyResponses;
  std::mutex proxyMutex;
  // Under the process-wide table's lock (host/bridge_table.h).
  std::uint64_t nextJobId = 1;
  std::atomic<bool> stopping{false};
  // Set by shutdown: no handler is registered at the core any more.
  bool handlersClosed = false;
  // Guards eventHandlers, subscriptionCounts, settlingSubscriptions,
  // handlersClosed and the two resource-handler tables, which the core's
  // event threads read.
  std::mutex handlerMutex;
  // Signalled when a thread is done settling a subscription.
  std::condition_variable subscriptionSettled;

 private:
  template <class Result>
  Expected<Result> finishCall(RequestMethod method, std::string_view path, const Value* argument) {
    Expected<Value> answer = sendCall(method, path, argument, !std::is_void_v<Result>);
    if (!answer) return std::move(answer).error();
    if constexpr (std::is_void_v<Result>) {
      return {};
    } else if constexpr (std::is_same_v<Result, Value>) {
      return std::move(answer).value();
    } else {
      Result result{};
      const ValueResult assigned = assignFromValue(result, answer.value(), HostCallMessages::resultName, registry);
      if (!assigned) return hostCallError(0, HostCallMessages::responseNotConverted, method, path, assigned.error());
      return result;
    }
  }

  static void jobCallback(void* context);
  // The object is live from its construction to its destruction.
  void registerLive();
  void forgetLive() noexcept;
  // Frees the jobs the core has not run yet; their callbacks find nothing.
  void dropPendingJobs() noexcept;
  // With the table's lock held: takes the work of the jobs not started yet
  // out of the table (to be freed once the lock is released).
  std::vector<std::function<void()>> takePendingJobsLocked();
  template <class Payload, class Handler>
  static void deliverEvent(HostEventRecord* record, Handler EventHandlerHolder::*handler);
  // Count a subscription of an event name up or down (handlerMutex held),
  // then settle its registration.
  void subscribeLocked(std::unique_lock<std::mutex>& lock, const std::string& name);
  void unsubscribeLocked(std::unique_lock<std::mutex>& lock, const std::string& name);
  // Registers or unregisters name at the core until the registration
  // matches the count, unless another thread is doing so already.
  // handlerMutex is held on entry and exit, released around the core's calls.
  void settleSubscription(std::unique_lock<std::mutex>& lock, const std::string& name);
  void addResourceHandler(ResourceHandlerTable& table, const std::string& key, ResourceEventHandler handler);
  void removeResourceHandler(ResourceHandlerTable& table, const std::string& key);
  Expected<Value> readStream(const HostResponse& response);
  std::int32_t registerHandler(const std::string& eventName, std::shared_ptr<EventHandlerHolder> holder,
                               HostEventCallback callback, std::uint32_t flag);
  void storeProxyResponse(const std::string& key, const Client::AppModule::PluginServiceProxyResponse& response);
};

}  // namespace Quor
