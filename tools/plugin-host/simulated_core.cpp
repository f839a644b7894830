#include "simulated_core.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <exception>
#include <thread>
#include <utility>

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

// A streamed answer: its JSON text, handed out a few bytes per read.
struct CoreStream {
  SimulatedCore* core;
  Output* output;
  std::string text;
  std::size_t position = 0;
  std::uint32_t bytesPerRead;
  std::uint64_t reads = 0;
};

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

void SimulatedCore::stopInNextYield(std::function<void()> stop) {
  const std::lock_guard<std::mutex> lock(stopInYieldMutex_);
  stopInYield_ = std::move(stop);
}

bool SimulatedCore::disarmStopInYield() {
  const std::lock_guard<std::mutex> lock(stopInYieldMutex_);
  return std::exchange(stopInYield_, nullptr) != nullptr;
}

void SimulatedCore::noteCall(const char* function) {
  if (stopped_.load()) output_.lateCall(function);
}

void SimulatedCore::streamAnswer(Quor::HostResponse& response) {
  const Outcome<std::string> text = hostValueJson(response.body);
  if (!text) return;  // answered as it is
  auto* stream = new CoreStream{this, &output_, text.value(), 0, streamBytesPerRead_};
  Quor::releaseHostValue(response.body);
  std::memset(static_cast<void*>(&response.body), 0, sizeof response.body);
  response.stream = stream;
  response.streamRead = &SimulatedCore::streamRead;
  response.streamRelease = &SimulatedCore::streamRelease;
  response.streamSize = static_cast<std::uint32_t>(stream->text.size());
}

std::uint32_t SimulatedCore::streamRead(void* stream, void* buffer, std::uint32_t* size, std::uint8_t* more) {
  if (stream == nullptr || buffer == nullptr || size == nullptr || more == nullptr) return 0;
  auto& read = *static_cast<CoreStream*>(stream);
  read.core->noteCall("streamRead");
  const std::size_t count = std::min<std::size_t>({*size, read.bytesPerRead, read.text.size() - read.position});
  std::memcpy(buffer, read.text.data() + read.position, count);
  read.position += count;
  ++read.reads;
  *size = static_cast<std::uint32_t>(count);
  *more = read.position < read.text.size() ? 1 : 0;
  return 1;
}

void SimulatedCore::streamRelease(void* stream) {
  if (stream == nullptr) return;
  const auto* read = static_cast<CoreStream*>(stream);
  read->output->streamReleased(read->reads, read->position, read->text.size());
  delete read;
}

void SimulatedCore::sendRequest(Quor::HostFunctions* self, Quor::HostResponse* response,
                                const Quor::HostRequest* request) {
  if (response == nullptr) return;
  SimulatedCore& core = from(self);
  core.noteCall("sendRequest");
  guarded("a request to the core", [&] {
    if (request == nullptr) {
      Quor::HostRequest empty{};
      core.endpoints_.answer(*response, empty);
    } else {
      core.endpoints_.answer(*response, *request);
    }
    if (core.streamBytesPerRead_ != 0 && response->errorMessage == nullptr) core.streamAnswer(*response);
  });
}

void SimulatedCore::hostFunction1(Quor::HostFunctions* self, std::uint32_t, std::uint32_t) {
  from(self).noteCall("hostFunction1");
}

void SimulatedCore::publishEvent(Quor::HostFunctions* self, const Quor::HostEventRecord* record) {
  from(self).noteCall("publishEvent");
  if (record == nullptr) return;
  guarded("publishing an event", [&] {
    const Outcome<std::string> payload = hostValueJson(record->payload);
    from(self).output_.event("published", record->name != nullptr ? record->name : "",
                             payload ? payload.value() : "\"unreadable payload: " + payload.error() + "\"");
  });
}

std::int32_t SimulatedCore::registerEventHandler(Quor::HostFunctions* self, const char* eventName, std::uint32_t,
                                                 Quor::HostEventCallback callback, void* context, std::uint32_t flag) {
  from(self).noteCall("registerEventHandler");
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
  from(self).noteCall("unregisterEventHandler");
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
  from(self).noteCall("scheduleCallback");
  std::int32_t result = -1;
  guarded("scheduling a job", [&] {
    result = from(self).jobs_.schedule(jobName, callback, context, delaySeconds) ? 0 : -1;
  });
  return result;
}

std::int32_t SimulatedCore::yield(Quor::HostFunctions* self) {
  SimulatedCore& core = from(self);
  core.noteCall("yield");
  std::function<void()> stop;
  {
    const std::lock_guard<std::mutex> lock(core.stopInYieldMutex_);
    stop = std::exchange(core.stopInYield_, nullptr);
  }
  if (stop) {
    guarded("stopping the plugin from its yield", stop);
  } else {
    std::this_thread::sleep_for(yieldPause);
  }
  return 0;
}

std::int32_t SimulatedCore::beginWait(Quor::HostFunctions* self, const char*, std::uint32_t) {
  SimulatedCore& core = from(self);
  core.noteCall("beginWait");
  const std::lock_guard<std::mutex> lock(core.waitMutex_);
  ++core.openWaits_;
  return 0;
}

std::int32_t SimulatedCore::endWait(Quor::HostFunctions* self) {
  SimulatedCore& core = from(self);
  core.noteCall("endWait");
  const std::lock_guard<std::mutex> lock(core.waitMutex_);
  if (core.openWaits_ == 0) return -1;  // no wait was begun
  --core.openWaits_;
  return 0;
}

void SimulatedCore::log(Quor::HostFunctions* self, std::uint32_t level, const char* message) {
  from(self).noteCall("log");
  guarded("a log line", [&] { from(self).output_.log(level, message != nullptr ? message : ""); });
}

}  // namespace PluginHost
