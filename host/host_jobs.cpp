#include <exception>

#include "host/host_bridge.h"
#include "logging/logger.h"

namespace Quor {

namespace {

// Guards PendingJob::bridge across the bridge's destruction: entries the core
// has not run yet outlive the plugin object, so that a callback arriving
// after stop finds an orphan to free rather than freed memory.
std::mutex& jobOwnerMutex() {
  static std::mutex mutex;
  return mutex;
}

}  // namespace

void HostBridge::orphanPendingJobs() noexcept {
  std::lock_guard owner(jobOwnerMutex());
  std::lock_guard lock(jobMutex);
  for (auto& [id, job] : pendingJobs) {
    job->bridge = nullptr;
    static_cast<void>(job.release());
  }
  pendingJobs.clear();
}

std::int32_t HostBridge::scheduleJob(std::string_view name, std::function<void()> work,
                                     std::chrono::steady_clock::time_point dueTime) {
  const auto remaining =
      std::chrono::duration_cast<std::chrono::nanoseconds>(dueTime - std::chrono::steady_clock::now());
  double delaySeconds = static_cast<double>(remaining.count()) * 1e-9;
  if (!(delaySeconds > 0)) delaySeconds = 0;

  PendingJob* entry = nullptr;
  {
    std::lock_guard lock(jobMutex);
    auto job = std::make_unique<PendingJob>();
    job->bridge = this;
    job->id = nextJobId++;
    job->work = std::move(work);
    entry = job.get();
    pendingJobs.emplace(entry->id, std::move(job));
  }
  const std::string jobName(name);
  return scheduleCallback(jobName.c_str(), &HostBridge::jobCallback, entry, delaySeconds, 0);
}

void HostBridge::jobCallback(void* context) {
  auto* entry = static_cast<PendingJob*>(context);
  if (entry == nullptr) return;
  HostBridge* bridge = nullptr;
  try {
    std::lock_guard owner(jobOwnerMutex());
    bridge = entry->bridge;
  } catch (...) {
    return;  // nothing may unwind into the core's frames
  }
  if (bridge == nullptr) {
    // The plugin object is gone; there is nothing to run the work on.
    delete entry;
    return;
  }
  const std::uint64_t id = entry->id;
  try {
    if (entry->work) entry->work();
  } catch (const std::exception& failure) {
    log(LogLevel::Error, LogCategory::Dbg, "%s: A job ended with an exception: %s", bridge->pluginName.c_str(),
        failure.what());
  } catch (...) {
    log(LogLevel::Error, LogCategory::Dbg, "%s: A job ended with an exception", bridge->pluginName.c_str());
  }
  try {
    std::lock_guard owner(jobOwnerMutex());
    if (entry->bridge == nullptr) {
      delete entry;
      return;
    }
    std::lock_guard lock(bridge->jobMutex);
    bridge->pendingJobs.erase(id);
  } catch (...) {
    // The entry stays until the plugin object goes; nothing else is lost.
  }
}

void HostBridge::waitYield() {
  beginWait("Wait: yield", 0);
  yield();
  endWait();
}

std::size_t HostBridge::pendingJobCount() {
  std::lock_guard lock(jobMutex);
  return pendingJobs.size();
}

}  // namespace Quor
