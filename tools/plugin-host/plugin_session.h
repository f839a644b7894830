#pragma once
// One run of the simulator: load the plugin through its loader entry, start
// it with the simulated core's host functions, run the steps, wait for the
// jobs, stop it and unload it.

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core_endpoints.h"
#include "core_failures.h"
#include "install_settings_store.h"
#include "job_queue.h"
#include "output.h"
#include "plugin_library.h"
#include "remoting/host_endpoint.h"
#include "simulated_core.h"
#include "steps.h"

namespace PluginHost {

struct SessionOptions {
  std::string pluginPath;
  std::array<std::uint32_t, 3> coreVersion{18, 0, 0};
  std::vector<std::string> coreArgs;
  std::vector<CoreFailure> coreFailures;  // --fail-core
  std::string storePath;  // empty: settings in memory
  std::uint32_t pluginId = 1;
  std::uint32_t streamBytesPerRead = 0;  // --stream-answers; 0: plain answers
};

// Exit codes of the program.
inline constexpr int exitSuccess = 0;
inline constexpr int exitPluginUnusable = 1;  // not loaded, no loader entry, not started
inline constexpr int exitWrongCommandLine = 2;
inline constexpr int exitWorkerStuck = 3;  // stop's limit ran out with the worker in the plugin

class PluginSession {
 public:
  PluginSession(Output& output, std::unique_ptr<InstallSettingsStore> settings, const SessionOptions& options);
  ~PluginSession();
  PluginSession(const PluginSession&) = delete;
  PluginSession& operator=(const PluginSession&) = delete;

  // Loads and starts the plugin; the failure is printed on standard error.
  // A core the plugin refuses ends the process inside the loader.
  bool open(const SessionOptions& options);

  // Safe to call from several threads at once, as the core calls a plugin.
  void run(const std::vector<Step>& steps);

  // A request step: the answer, as printed.
  PrintedAnswer request(const Step& step);
  // False when the plugin registered no handler for the name.
  bool deliverEvent(const std::string& name, const Quor::Value& payload);
  // The printed lines of the stats and describe steps.
  std::string stats();
  std::string describe();

  // Waits for due and running jobs, stops the plugin and unloads it.
  void close();

  // The loaded plugin's registration answer (after open).
  const Quor::HostRegistrationAnswer& registration() const { return *registration_; }

  // The plugin's allocation counters through its memoryStatistics entry
  // (all zero when it has none).
  Quor::MemoryStatistics memoryStatistics() const;

 private:
  void runStep(const Step& step);
  // Stops the plugin without waiting for its jobs, fires the callbacks of
  // the jobs not run, waits up to `limitSeconds` for the worker to leave
  // the plugin's callback and unloads it; when the limit runs out the
  // process ends with exitWorkerStuck, the plugin still loaded.
  void stopNow(double limitSeconds);
  // Forgets the plugin's event handlers and registration and frees the library.
  void unload();
  // The stop-in-yield step: the plugin's next yield stops it, on the
  // yielding thread; the thread that runs the steps then finishes the stop
  // as the stop step does (finishStop), waiting up to `limitSeconds`.
  void armStopInYield(double limitSeconds);
  void stopFromInsideYield();
  // After stop returned: fires the callbacks of the jobs not run, waits up
  // to `limitSeconds` for the worker to leave the plugin's callback, joins
  // the background steps and unloads the plugin (see stopNow).
  void finishStop(double limitSeconds, std::chrono::steady_clock::time_point called);
  // Runs a step on a thread of its own; joined before the plugin is unloaded.
  void startBackground(const Step& step);
  void joinBackground();

  Output& output_;
  std::unique_ptr<InstallSettingsStore> settings_;
  CoreEndpoints endpoints_;
  JobQueue jobs_;
  SimulatedCore core_;
  PluginLibrary library_;
  Quor::HostHandshake handshake_{};
  const Quor::HostRegistrationAnswer* registration_ = nullptr;
  std::atomic<bool> started_{false};
  std::atomic<std::uint32_t> nextRequestId_{1};
  // Set once stop has returned: later steps (but sleep) are skipped.
  std::atomic<bool> stopReturned_{false};
  // stop-in-yield: armed, then done on the yielding thread, then finished
  // by the steps' thread.
  double yieldStopLimitSeconds_ = defaultStopWaitSeconds;
  std::chrono::steady_clock::time_point yieldStopCalled_;
  std::atomic<bool> stoppedInYield_{false};
  std::thread::id stepsThread_ = std::this_thread::get_id();
  std::mutex backgroundMutex_;
  std::vector<std::thread> background_;
};

}  // namespace PluginHost
