#include "plugin_session.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "binding/host_value.h"
#include "formats/value_text_writer.h"
#include "host_value_json.h"
#include "plugin_request.h"
#include "registration_answer.h"

namespace PluginHost {
namespace {

std::string versionText(std::uint32_t major, std::uint32_t minor, std::uint32_t patch) {
  return std::to_string(major) + '.' + std::to_string(minor) + '.' + std::to_string(patch);
}

}  // namespace

PluginSession::PluginSession(Output& output, std::unique_ptr<InstallSettingsStore> settings,
                             const SessionOptions& options)
    : output_(output),
      settings_(std::move(settings)),
      endpoints_(output, options.coreArgs, *settings_, options.coreFailures),
      jobs_(output),
      core_(output, endpoints_, jobs_, options.pluginId) {
  core_.streamAnswers(options.streamBytesPerRead);
}

PluginSession::~PluginSession() { close(); }

bool PluginSession::open(const SessionOptions& options) {
  Outcome<PluginLibrary> library = loadPluginLibrary(options.pluginPath);
  if (!library) {
    std::fprintf(stderr, "plugin-host: %s\n", library.error().c_str());
    return false;
  }
  library_ = library.value();

  handshake_ = {};
  handshake_.apiMajor = options.coreVersion[0];
  handshake_.apiMinor = options.coreVersion[1];
  handshake_.apiPatch = options.coreVersion[2];
  library_.loader(&handshake_);
  const Quor::PluginEntryPoints* entryPoints = handshake_.entryPoints;
  if (entryPoints == nullptr || entryPoints->start == nullptr || entryPoints->stop == nullptr ||
      handshake_.registration == nullptr) {
    std::fprintf(stderr, "plugin-host: %s: the loader entry %s wrote no entry points or no registration answer\n",
                 library_.path.c_str(), pluginLoaderName);
    freePluginLibrary(library_);
    return false;
  }
  registration_ = static_cast<const Quor::HostRegistrationAnswer*>(handshake_.registration);
  output_.loaded({handshake_.pluginName != nullptr ? handshake_.pluginName : "", library_.path,
                  versionText(handshake_.apiMajor, handshake_.apiMinor, handshake_.apiPatch),
                  registration_->endpointCount, registration_->typeCount, registration_->eventCount});

  started_ = true;  // from here on, stop is owed whatever start answers
  const bool running = entryPoints->start(handshake_.pluginContext, core_.context()) != 0;
  output_.started(running, core_.context()->pluginId);
  if (!running) {
    std::fprintf(stderr, "plugin-host: %s: the plugin did not start\n", library_.path.c_str());
    close();
    return false;
  }
  return true;
}

void PluginSession::run(const std::vector<Step>& steps) {
  for (const Step& step : steps) {
    runStep(step);
    // The plugin stopped from inside a yield of that step (or of a job
    // meanwhile): the steps' thread finishes the stop.
    if (stoppedInYield_ && std::this_thread::get_id() == stepsThread_ && library_.module != nullptr) {
      finishStop(yieldStopLimitSeconds_, yieldStopCalled_);
    }
  }
}

void PluginSession::close() {
  if (library_.module == nullptr) return;
  // A stop armed for a yield that has not come is not made: close stops the
  // plugin itself. One a yield has taken is done once the thread that
  // yielded has left the plugin.
  core_.disarmStopInYield();
  joinBackground();
  jobs_.close();
  if (stoppedInYield_) {
    finishStop(yieldStopLimitSeconds_, yieldStopCalled_);
    return;
  }
  if (started_) {
    handshake_.entryPoints->stop(handshake_.pluginContext);
    started_ = false;
    stopReturned_ = true;
    core_.pluginStopped();
    output_.stopped();
  }
  unload();
}

void PluginSession::unload() {
  core_.forgetEventHandlers();
  registration_ = nullptr;
  freePluginLibrary(library_);
  output_.unloaded();
}

void PluginSession::runStep(const Step& step) {
  // The plugin is gone: only the clock is left to watch.
  if (stopReturned_ && step.kind != Step::Kind::Sleep) return;
  switch (step.kind) {
    case Step::Kind::Request:
      request(step);
      break;
    case Step::Kind::Repeat:
      for (std::uint64_t round = 0; round < step.count; ++round) run(step.steps);
      break;
    case Step::Kind::Event:
      deliverEvent(step.eventName, step.payload);
      break;
    case Step::Kind::Wait:
      jobs_.waitUntilIdle();
      break;
    case Step::Kind::Stats:
      stats();
      break;
    case Step::Kind::Describe:
      describe();
      break;
    case Step::Kind::Sleep:
      std::this_thread::sleep_for(std::chrono::duration<double>(step.seconds));
      break;
    case Step::Kind::Hold:
      jobs_.hold();
      break;
    case Step::Kind::Release:
      jobs_.release();
      break;
    case Step::Kind::Stop:
      stopNow(step.seconds);
      break;
    case Step::Kind::StopInYield:
      armStopInYield(step.seconds);
      break;
    case Step::Kind::Background:
      startBackground(step.steps.front());
      break;
  }
}

void PluginSession::startBackground(const Step& step) {
  const std::lock_guard<std::mutex> lock(backgroundMutex_);
  background_.emplace_back([this, step] { runStep(step); });
}

void PluginSession::joinBackground() {
  std::vector<std::thread> threads;
  {
    const std::lock_guard<std::mutex> lock(backgroundMutex_);
    threads.swap(background_);
  }
  for (std::thread& thread : threads) thread.join();
}

void PluginSession::armStopInYield(double limitSeconds) {
  if (library_.module == nullptr || !started_) return;
  yieldStopLimitSeconds_ = limitSeconds;
  core_.stopInNextYield([this] { stopFromInsideYield(); });
}

void PluginSession::stopFromInsideYield() {
  using Clock = std::chrono::steady_clock;
  output_.stopCalled();
  yieldStopCalled_ = Clock::now();
  handshake_.entryPoints->stop(handshake_.pluginContext);
  started_ = false;
  stopReturned_ = true;
  core_.pluginStopped();
  output_.stopReturned(
      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - yieldStopCalled_).count());
  stoppedInYield_ = true;
}

void PluginSession::stopNow(double limitSeconds) {
  if (library_.module == nullptr || !started_) return;
  using Clock = std::chrono::steady_clock;
  output_.stopCalled();
  const Clock::time_point called = Clock::now();
  handshake_.entryPoints->stop(handshake_.pluginContext);
  started_ = false;
  stopReturned_ = true;
  core_.pluginStopped();
  output_.stopReturned(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - called).count());
  finishStop(limitSeconds, called);
}

void PluginSession::finishStop(double limitSeconds, std::chrono::steady_clock::time_point called) {
  using Clock = std::chrono::steady_clock;
  const auto millisecondsSince = [](Clock::time_point from) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - from).count();
  };
  // A core may still fire callbacks it had queued: they must do nothing.
  for (const JobQueue::Job& job : jobs_.takeWaitingJobs()) jobs_.fire(job);
  const auto limit = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::duration<double>(limitSeconds));
  if (!jobs_.waitWhileRunning(limit)) {
    output_.workerStuck(limitSeconds);
    std::fflush(stdout);
    // The worker is inside code that unloading would unmap, and joining it
    // could wait forever: the process ends here.
    std::_Exit(exitWorkerStuck);
  }
  output_.workerLeft(millisecondsSince(called));
  // Steps in the background skip what follows the stop; the ones inside the
  // plugin's code have returned before its code goes.
  joinBackground();
  output_.stopped();
  unload();
}

PrintedAnswer PluginSession::request(const Step& step) {
  const char* method = requestMethodText(step.method);
  const Quor::HostEndpoint* endpoint = findEndpoint(*registration_, step.method, step.path);
  if (endpoint == nullptr || endpoint->handler == nullptr) {
    PrintedAnswer answer;
    answer.status = 404;
    answer.error = std::string("The plugin has no endpoint for ") + method + " " + step.path;
    output_.response(method, step.path, answer);
    return answer;
  }
  Outcome<PreparedRequest> prepared = PreparedRequest::prepare(step);
  if (!prepared) {
    PrintedAnswer answer;
    answer.status = 400;
    answer.error = "Request not sent: " + prepared.error();
    output_.response(method, step.path, answer);
    return answer;
  }
  const Quor::HostRequest& request = prepared->request(endpoint->description.context, nextRequestId_++);
  // The record's content is the plugin's to set: it resets it first.
  Quor::HostResponse response{};
  endpoint->handler(&response, &request);
  PrintedAnswer answer = takeAnswer(response);
  output_.response(method, step.path, answer);
  return answer;
}

bool PluginSession::deliverEvent(const std::string& name, const Quor::Value& payloadValue) {
  const std::string payloadJson = Quor::valueToText(payloadValue, Quor::ValueTextStyle::Json);
  Outcome<Quor::HostValue> payload = ownedHostValue(payloadValue);
  if (!payload) {
    std::fprintf(stderr, "plugin-host: event %s: %s\n", name.c_str(), payload.error().c_str());
    return false;
  }
  const bool delivered = core_.deliverEvent(name, payload.value(), payloadJson);
  Quor::releaseHostValue(payload.value());
  return delivered;
}

std::string PluginSession::describe() { return output_.describe(describeRegistration(*registration_)); }

Quor::MemoryStatistics PluginSession::memoryStatistics() const {
  Quor::MemoryStatistics statistics{};
  if (handshake_.entryPoints != nullptr && handshake_.entryPoints->memoryStatistics != nullptr) {
    handshake_.entryPoints->memoryStatistics(handshake_.pluginContext, &statistics);
  }
  return statistics;
}

std::string PluginSession::stats() { return output_.stats(memoryStatistics()); }

}  // namespace PluginHost
