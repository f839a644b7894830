#include "simulated_core.h"

#include <chrono>
#include <cstdio>
#include <exception>
#include <thread>

#include "host_value_json.h"
#include "output.h"

namespace PluginHost {
namespace {

// How long one yield of the plugin lets other work run.
constexpr std::chrono::milliseconds yieldPause{5};

// Nothing may unwind into the plugin's frames: a failure of the simulator
// itself is reported and the call answers as best it can.
template <class Work>
void guarded(const char* what, Work&& work) {
  try {
    work();
  } catch (const std::exception& error) {
    std::fprintf(stderr, "plugin-host: %s failed: %s\n", what, error.what());
  } catch (...) {
    std::fprintf(stderr, "plugin-host: %s failed\n", what);
  }
}

}  // namespace

SimulatedCore::SimulatedCore(Output& output, CoreEndpoints& endpoints, JobQueue& jobs, std::uint32_t pluginId)
    : output_(output), endpoints_(endpoints), jobs_(jobs) {
  table_.functions = {sendRequest, hostFunction1,    publishEvent, registerEventHandler, unregisterEventHandler,
                      scheduleCallback, yield, beginWait, endWait, log};
  table_.core = this;
  context_.functions = &table_.functions;
  context_.pluginId = pluginId;
}

bool SimulatedCore::deliverEvent(const std::string& name, const Quor::HostValue& payload,
                                 std::string_view payloadJson) {
  std::optional<Handler> handler;
  {
    const std::lock_guard<std::mutex> lock(handlersMutex_);
    const auto found = handlers_.find(name);
    if (found != handlers_.end()) handler = found->second;
  }
  if (!handler) {
    output_.event("undelivered", name, payloadJson);
    return false;
  }
  output_.event("delivered", name, payloadJson);
  Quor::HostEventRecord record{};
  record.name = name.c_str();
  record.payload = payload;
  record.flags = 0;
  record.context = handler->context;
  // Called without the lock: the handler may register or remove handlers.
  handler->callback(&record);
  return true;
}

void SimulatedCore::forgetEventHandlers() {
  const std::lock_guard<std::mutex> lock(handlersMutex_);
  handlers_.clear();
}

void SimulatedCore::sendRequest(Quor::HostFunctions* self, Quor::HostResponse* response,
                                const Quor::HostRequest* request) {
  if (response == nullptr) return;
  guarded("a request to the core", [&] {
    if (request == nullptr) {
      Quor::HostRequest empty{};
      from(self).endpoints_.answer(*response, empty);
    } else {
      from(self).endpoints_.answer(*response, *request);
    }
  });
}

void SimulatedCore::hostFunction1(Quor::HostFunctions*, std::uint32_t, std::uint32_t) {}

void SimulatedCore::publishEvent(Quor::HostFunctions* self, const Quor::HostEventRecord* record) {
  if (record == nullptr) return;
  guarded("publishing an event", [&] {
    const Outcome<std::string> payload = hostValueJson(record->payload);
    from(self).output_.event("published", record->name != nullptr ? record->name : "",
                             payload ? payload.value() : "\"unreadable payload: " + payload.error() + "\"");
  });
}

std::int32_t SimulatedCore::registerEventHandler(Quor::HostFunctions* self, const char* eventName, std::uint32_t,
                                                 Quor::HostEventCallback callback, void* context, std::uint32_t flag) {
  if (eventName == nullptr || callback == nullptr) return -1;
  std::int32_t result = -1;
  guarded("registering an event handler", [&] {
    SimulatedCore& core = from(self);
    const std::lock_guard<std::mutex> lock(core.handlersMutex_);
    core.handlers_[eventName] = Handler{callback, context, flag};
    result = 0;
  });
  return result;
}

std::int32_t SimulatedCore::unregisterEventHandler(Quor::HostFunctions* self, const char* eventName, std::uint32_t) {
  if (eventName == nullptr) return -1;
  std::int32_t result = -1;
  guarded("removing an event handler", [&] {
    SimulatedCore& core = from(self);
    const std::lock_guard<std::mutex> lock(core.handlersMutex_);
    result = core.handlers_.erase(eventName) == 1 ? 0 : -1;
  });
  return result;
}

std::int32_t SimulatedCore::scheduleCallback(Quor::HostFunctions* self, const char* jobName,
                                             Quor::HostJobCallback callback, void* context, double delaySeconds,
                                             std::uint32_t) {
  std::int32_t result = -1;
  guarded("scheduling a job", [&] {
    result = from(self).jobs_.schedule(jobName, callback, context, delaySeconds) ? 0 : -1;
  });
  return result;
}

std::int32_t SimulatedCore::yield(Quor::HostFunctions*) {
  std::this_thread::sleep_for(yieldPause);
  return 0;
}

std::int32_t SimulatedCore::beginWait(Quor::HostFunctions* self, const char*, std::uint32_t) {
  SimulatedCore& core = from(self);
  const std::lock_guard<std::mutex> lock(core.waitMutex_);
  ++core.openWaits_;
  return 0;
}

std::int32_t SimulatedCore::endWait(Quor::HostFunctions* self) {
  SimulatedCore& core = from(self);
  const std::lock_guard<std::mutex> lock(core.waitMutex_);
  if (core.openWaits_ == 0) return -1;  // no wait was begun
  --core.openWaits_;
  return 0;
}

void SimulatedCore::log(Quor::HostFunctions* self, std::uint32_t level, const char* message) {
  guarded("a log line", [&] { from(self).output_.log(level, message != nullptr ? message : ""); });
}

}  // namespace PluginHost
