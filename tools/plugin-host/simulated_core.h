#pragma once
// The host function table the simulator lends the plugin at start: requests
// to the core's endpoints (as plain or as streamed answers), events both ways,
// jobs, waiting and logging. It can stop the plugin from inside the plugin's
// next yield, and once the plugin is stopped it reports every call the plugin
// still makes into it as a late call (releasing an answer or its stream is
// not one).

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>

#include "core_endpoints.h"
#include "host/host_records.h"
#include "job_queue.h"

namespace PluginHost {

class Output;

class SimulatedCore {
 public:
  SimulatedCore(Output& output, CoreEndpoints& endpoints, JobQueue& jobs, std::uint32_t pluginId);
  SimulatedCore(const SimulatedCore&) = delete;
  SimulatedCore& operator=(const SimulatedCore&) = delete;

  Quor::HostContext* context() { return &context_; }

  // Hands the event to the handler the plugin registered for its name; false
  // (and an "undelivered" line) when there is none. The payload stays the
  // caller's.
  bool deliverEvent(const std::string& name, const Quor::HostValue& payload, std::string_view payloadJson);

  // Forgets every handler (the plugin's code is about to be unloaded).
  void forgetEventHandlers();

  // Answers without an error text go out as streams handing out at most
  // bytesPerRead bytes of their JSON text per read, "more" set until the
  // last; 0 (the default) answers with plain bodies.
  void streamAnswers(std::uint32_t bytesPerRead) { streamBytesPerRead_ = bytesPerRead; }

  // The plugin's next yield, on whatever thread, runs `stop` (which calls
  // the plugin's stop) before it returns.
  void stopInNextYield(std::function<void()> stop);
  // Takes the armed stop back; false when a yield has taken it already.
  bool disarmStopInYield();
  // The plugin's stop has returned: what it calls from now on is late.
  void pluginStopped() { stopped_.store(true); }

 private:
  struct Handler {
    Quor::HostEventCallback callback;
    void* context;
    std::uint32_t flag;
  };
  // The table handed to the plugin, followed by the way back to this object.
  struct Table {
    Quor::HostFunctions functions;
    SimulatedCore* core;
  };
  static SimulatedCore& from(Quor::HostFunctions* self) { return *reinterpret_cast<Table*>(self)->core; }

  static void sendRequest(Quor::HostFunctions* self, Quor::HostResponse* response, const Quor::HostRequest* request);
  static void hostFunction1(Quor::HostFunctions* self, std::uint32_t a, std::uint32_t b);
  static void publishEvent(Quor::HostFunctions* self, const Quor::HostEventRecord* record);
  static std::int32_t registerEventHandler(Quor::HostFunctions* self, const char* eventName, std::uint32_t pluginId,
                                           Quor::HostEventCallback callback, void* context, std::uint32_t flag);
  static std::int32_t unregisterEventHandler(Quor::HostFunctions* self, const char* eventName, std::uint32_t pluginId);
  static std::int32_t scheduleCallback(Quor::HostFunctions* self, const char* jobName, Quor::HostJobCallback callback,
                                       void* context, double delaySeconds, std::uint32_t flags);
  static std::int32_t yield(Quor::HostFunctions* self);
  static std::int32_t beginWait(Quor::HostFunctions* self, const char* label, std::uint32_t flags);
  static std::int32_t endWait(Quor::HostFunctions* self);
  static void log(Quor::HostFunctions* self, std::uint32_t level, const char* message);
  static std::uint32_t streamRead(void* stream, void* buffer, std::uint32_t* size, std::uint8_t* more);
  static void streamRelease(void* stream);

  // Prints a late call when the plugin is stopped.
  void noteCall(const char* function);
  // Turns a plain answer into a streamed one.
  void streamAnswer(Quor::HostResponse& response);

  Output& output_;
  CoreEndpoints& endpoints_;
  JobQueue& jobs_;
  Table table_;
  Quor::HostContext context_;
  std::mutex handlersMutex_;
  std::map<std::string, Handler> handlers_;
  std::mutex waitMutex_;
  int openWaits_ = 0;
  std::uint32_t streamBytesPerRead_ = 0;
  std::mutex stopInYieldMutex_;
  std::function<void()> stopInYield_;
  std::atomic<bool> stopped_{false};
};

}  // namespace PluginHost
