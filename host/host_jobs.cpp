#include <condition_variable>
#include <cstdint>
#include <exception>
#include <thread>
#include <unordered_map>
#include <vector>

#include "host/host_bridge.h"
#include "logging/logger.h"

namespace Quor {

namespace {

struct JobEntry {
  HostBridge* bridge = nullptr;
  std::uint64_t id = 0;
  std::function<void()> work;
  bool running = false;
  std::thread::id thread;  // set while running
};

// The jobs of every bridge, by the ticket the core holds as the callback's
// context. Process-wide, so that a callback the core fires after its plugin
// object is gone looks its ticket up in a table that is still there (and
// finds nothing) instead of reading freed memory.
struct JobTable {
  std::mutex mutex;
  std::condition_variable jobLeft;
  std::unordered_map<std::uintptr_t, JobEntry> entries;
  std::uintptr_t nextTicket = 1;
};

JobTable& jobTable() {
  static JobTable table;
  return table;
}

}  // namespace

void HostBridge::dropPendingJobs() noexcept {
  std::vector<std::function<void()>> dropped;
  try {
    JobTable& table = jobTable();
    std::lock_guard lock(table.mutex);
    for (auto entry = table.entries.begin(); entry != table.entries.end();) {
      if (entry->second.bridge == this) {
        dropped.push_back(std::move(entry->second.work));
        entry = table.entries.erase(entry);
      } else {
        ++entry;
      }
    }
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

  JobTable& table = jobTable();
  std::uintptr_t ticket = 0;
  {
    std::lock_guard lock(table.mutex);
    if (stopRequested()) return 0;
    ticket = table.nextTicket++;
    if (table.nextTicket == 0) table.nextTicket = 1;  // 0 is never a ticket
    JobEntry& entry = table.entries[ticket];
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
  JobTable& table = jobTable();
  HostBridge* bridge = nullptr;
  std::function<void()> work;
  try {
    std::lock_guard lock(table.mutex);
    const auto found = table.entries.find(ticket);
    // Dropped at stop (or never ours): there is nothing to run.
    if (found == table.entries.end() || found->second.running) return;
    bridge = found->second.bridge;
    work = std::move(found->second.work);
    found->second.running = true;
    found->second.thread = std::this_thread::get_id();
    ++bridge->runningJobCount;
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
    // Gone when the object was destroyed under the job without a stop.
    if (table.entries.erase(ticket) == 0) return;
    if (--bridge->runningJobCount == 0 && bridge->destroyWhenIdle) destroy = bridge;
  } catch (...) {
    return;
  }
  // A stop waiting on another thread may destroy the bridge as soon as it
  // wakes: nothing of it is touched after the lock is released.
  table.jobLeft.notify_all();
  delete destroy;
}

bool HostBridge::stopJobs() {
  JobTable& table = jobTable();
  const std::thread::id self = std::this_thread::get_id();
  std::vector<std::function<void()>> dropped;
  bool jobOnThisThread = false;
  {
    std::unique_lock lock(table.mutex);
    stopping.store(true, std::memory_order_release);
    for (auto entry = table.entries.begin(); entry != table.entries.end();) {
      if (entry->second.bridge == this && !entry->second.running) {
        dropped.push_back(std::move(entry->second.work));
        entry = table.entries.erase(entry);
      } else {
        ++entry;
      }
    }
    const auto runningHere = [&](bool onThisThread) {
      for (const auto& [ticket, entry] : table.entries) {
        if (entry.bridge == this && entry.running && (entry.thread == self) == onThisThread) return true;
      }
      return false;
    };
    // The jobs notice the stop between their steps and in their wait slices.
    table.jobLeft.wait(lock, [&] { return !runningHere(false); });
    jobOnThisThread = runningHere(true);
  }
  dropped.clear();
  return jobOnThisThread;
}

void HostBridge::destroyWhenJobsLeave() {
  JobTable& table = jobTable();
  {
    std::lock_guard lock(table.mutex);
    if (runningJobCount != 0) {
      destroyWhenIdle = true;
      return;
    }
  }
  delete this;
}

void HostBridge::waitYield() {
  beginWait("Wait: yield", 0);
  yield();
  endWait();
}

std::size_t HostBridge::pendingJobCount() {
  JobTable& table = jobTable();
  std::lock_guard lock(table.mutex);
  std::size_t count = 0;
  for (const auto& [ticket, entry] : table.entries) count += entry.bridge == this ? 1 : 0;
  return count;
}

}  // namespace Quor
