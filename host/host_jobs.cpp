#include <cstdint>
#include <exception>
#include <thread>
#include <vector>

#include "host/bridge_table.h"
#include "host/host_bridge.h"
#include "logging/logger.h"

namespace Quor {

std::vector<std::function<void()>> HostBridge::takePendingJobsLocked() {
  std::vector<std::function<void()>> taken;
  auto& jobs = bridgeTable().jobs;
  for (auto job = jobs.begin(); job != jobs.end();) {
    if (job->second.bridge == this && !job->second.running) {
      taken.push_back(std::move(job->second.work));
      job = jobs.erase(job);
    } else {
      ++job;
    }
  }
  return taken;
}

void HostBridge::dropPendingJobs() noexcept {
  std::vector<std::function<void()>> dropped;
  try {
    std::lock_guard lock(bridgeTable().mutex);
    dropped = takePendingJobsLocked();
  } catch (...) {
    // Nothing can be dropped without the lock; the entries stay.
  }
  // The work's captures are freed outside the lock: they may schedule or log.
}

std::int32_t HostBridge::scheduleJob(std::string_view name, std::function<void()> work,
                                     std::chrono::steady_clock::time_point dueTime) {
  const auto remaining =
      std::chrono::duration_cast<std::chrono::nanoseconds>(dueTime - std::chrono::steady_clock::now());
  double delaySeconds = static_cast<double>(remaining.count()) * 1e-9;
  if (!(delaySeconds > 0)) delaySeconds = 0;

  BridgeTable& table = bridgeTable();
  std::uintptr_t ticket = 0;
  {
    std::lock_guard lock(table.mutex);
    if (stopRequested()) return 0;
    ticket = table.nextTicket++;
    if (table.nextTicket == 0) table.nextTicket = 1;  // 0 is never a ticket
    JobEntry& entry = table.jobs[ticket];
    entry.bridge = this;
    entry.id = nextJobId++;
    entry.work = std::move(work);
  }
  const std::string jobName(name);
  return scheduleCallback(jobName.c_str(), &HostBridge::jobCallback, reinterpret_cast<void*>(ticket), delaySeconds,
                          0);
}

void HostBridge::jobCallback(void* context) {
  const auto ticket = reinterpret_cast<std::uintptr_t>(context);
  const std::thread::id self = std::this_thread::get_id();
  BridgeTable& table = bridgeTable();
  HostBridge* bridge = nullptr;
  std::function<void()> work;
  try {
    std::lock_guard lock(table.mutex);
    const auto found = table.jobs.find(ticket);
    // Dropped at stop (or never ours): there is nothing to run.
    if (found == table.jobs.end() || found->second.running) return;
    const auto live = table.live.find(found->second.bridge);
    if (live == table.live.end() || live->second.stopping) return;
    bridge = found->second.bridge;
    work = std::move(found->second.work);
    found->second.running = true;
    // The job counts as an entry: stop waits for it, or leaves the object
    // to it when it is stopped from inside the job.
    table.enter(live->second, self);
  } catch (...) {
    return;  // nothing may unwind into the core's frames
  }
  try {
    if (work) work();
  } catch (const std::exception& failure) {
    log(LogLevel::Error, LogCategory::Dbg, "%s: A job ended with an exception: %s", bridge->pluginName.c_str(),
        failure.what());
  } catch (...) {
    log(LogLevel::Error, LogCategory::Dbg, "%s: A job ended with an exception", bridge->pluginName.c_str());
  }
  work = nullptr;  // its captures go while the object they may point into is there
  HostBridge* destroy = nullptr;
  try {
    std::lock_guard lock(table.mutex);
    table.jobs.erase(ticket);
    destroy = table.leave(bridge, self);
  } catch (...) {
    return;
  }
  // A stop waiting on another thread may destroy the bridge as soon as it
  // wakes: nothing of it is touched after the lock is released.
  table.entryLeft.notify_all();
  delete destroy;
}

void HostBridge::waitYield() {
  beginWait("Wait: yield", 0);
  yield();
  endWait();
}

std::size_t HostBridge::pendingJobCount() {
  BridgeTable& table = bridgeTable();
  std::lock_guard lock(table.mutex);
  std::size_t count = 0;
  for (const auto& [ticket, entry] : table.jobs) count += entry.bridge == this ? 1 : 0;
  return count;
}

}  // namespace Quor
