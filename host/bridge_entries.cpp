#include <algorithm>
#include <chrono>

#include "host/bridge_entry.h"
#include "host/bridge_table.h"
#include "host/host_bridge.h"
#include "logging/log_platform.h"

namespace Quor {

namespace {

// How often a waiting stop looks whether the process has begun to exit.
constexpr std::chrono::milliseconds stopWaitSlice{100};

// Takes the table's lock, except while the process exits: a thread the
// system ended there may have held it, so only a free lock is taken then.
bool lockTable(std::unique_lock<std::mutex>& lock) {
  if (processIsExiting()) return lock.try_lock();
  lock.lock();
  return true;
}

}  // namespace

// ---- The table ----------------------------------------------------------------------------

int LiveBridge::depthOf(std::thread::id thread) const {
  for (const auto& [id, depth] : threads) {
    if (id == thread) return depth;
  }
  return 0;
}

bool LiveBridge::anyOtherThanThis(std::thread::id thread) const {
  return std::any_of(threads.begin(), threads.end(), [&](const auto& entry) { return entry.first != thread; });
}

void BridgeTable::enter(LiveBridge& bridge, std::thread::id thread) {
  for (auto& [id, depth] : bridge.threads) {
    if (id == thread) {
      ++depth;
      return;
    }
  }
  bridge.threads.emplace_back(thread, 1);
}

HostBridge* BridgeTable::leave(const HostBridge* bridge, std::thread::id thread) {
  const auto found = live.find(bridge);
  // Gone when the object was destroyed under the entry without a stop.
  if (found == live.end()) return nullptr;
  auto& threads = found->second.threads;
  const auto mine = std::find_if(threads.begin(), threads.end(), [&](const auto& entry) { return entry.first == thread; });
  if (mine != threads.end() && --mine->second == 0) threads.erase(mine);
  if (!threads.empty() || !found->second.destroyWhenIdle) return nullptr;
  forget(bridge);
  return const_cast<HostBridge*>(bridge);
}

void BridgeTable::forget(const HostBridge* bridge) {
  live.erase(bridge);
  std::erase_if(endpointOwners, [&](const auto& owner) { return owner.second == bridge; });
}

BridgeTable& bridgeTable() {
  static BridgeTable* const table = new BridgeTable;
  return *table;
}

// ---- Entries ------------------------------------------------------------------------------

BridgeEntry BridgeEntry::enter(const HostBridge* bridge) { return enterFound(bridge, nullptr); }

BridgeEntry BridgeEntry::enterEndpoint(const void* endpointContext) { return enterFound(nullptr, endpointContext); }

BridgeEntry BridgeEntry::enterFound(const HostBridge* bridge, const void* endpointContext) {
  BridgeTable& table = bridgeTable();
  try {
    std::unique_lock lock(table.mutex, std::defer_lock);
    if ((bridge == nullptr && endpointContext == nullptr) || !lockTable(lock)) return {Outcome::Unknown, nullptr};
    if (bridge == nullptr) {
      const auto owner = table.endpointOwners.find(endpointContext);
      if (owner == table.endpointOwners.end()) return {Outcome::Unknown, nullptr};
      bridge = owner->second;
    }
    const auto found = table.live.find(bridge);
    if (found == table.live.end()) return {Outcome::Unknown, nullptr};
    if (found->second.stopping) return {Outcome::Stopping, nullptr};
    table.enter(found->second, std::this_thread::get_id());
    return {Outcome::Entered, const_cast<HostBridge*>(bridge)};
  } catch (...) {
    return {Outcome::Unknown, nullptr};  // no memory for the entry: it is not made
  }
}

BridgeEntry::BridgeEntry(BridgeEntry&& other) noexcept : outcome_(other.outcome_), bridge_(other.bridge_) {
  other.outcome_ = Outcome::Unknown;
  other.bridge_ = nullptr;
}

BridgeEntry::~BridgeEntry() {
  if (!entered()) return;
  BridgeTable& table = bridgeTable();
  HostBridge* destroy = nullptr;
  {
    std::unique_lock lock(table.mutex, std::defer_lock);
    if (!lockTable(lock)) return;  // the process is ending: the object stays
    destroy = table.leave(bridge_, std::this_thread::get_id());
  }
  // A stop waiting on another thread may destroy the object as soon as it
  // wakes: nothing of it is touched after the lock is released.
  table.entryLeft.notify_all();
  delete destroy;
}

// ---- The object's life in the table -----------------------------------------------------

void HostBridge::registerLive() {
  BridgeTable& table = bridgeTable();
  const std::lock_guard lock(table.mutex);
  table.live[this] = LiveBridge{};
}

void HostBridge::forgetLive() noexcept {
  BridgeTable& table = bridgeTable();
  std::unique_lock lock(table.mutex, std::defer_lock);
  if (lockTable(lock)) table.forget(this);
}

void HostBridge::registerEndpointContexts(const std::vector<const void*>& contexts) {
  BridgeTable& table = bridgeTable();
  const std::lock_guard lock(table.mutex);
  for (const void* context : contexts) table.endpointOwners[context] = this;
}

HostBridge::StopStart HostBridge::beginStop(HostBridge* bridge) {
  BridgeTable& table = bridgeTable();
  const std::thread::id self = std::this_thread::get_id();
  std::vector<std::function<void()>> dropped;
  StopStart start = StopStart::Ready;
  {
    std::unique_lock lock(table.mutex, std::defer_lock);
    if (!lockTable(lock)) return StopStart::NotLive;
    const auto found = table.live.find(bridge);
    // Not ours, gone, or stopping already: a second stop does nothing.
    if (found == table.live.end() || found->second.stopping) return StopStart::NotLive;
    LiveBridge& state = found->second;  // stays valid: only this stop erases it
    state.stopping = true;
    bridge->stopping.store(true, std::memory_order_release);
    dropped = bridge->takePendingJobsLocked();
    // The entries on other threads notice the stop (jobs between their
    // steps and in their wait slices) and leave; one blocked in the core or
    // in a handler is waited for. Threads that the exit of the process has
    // ended never leave.
    while (state.anyOtherThanThis(self)) {
      if (processIsExiting()) {
        start = StopStart::OthersStillInside;
        break;
      }
      table.entryLeft.wait_for(lock, stopWaitSlice);
    }
  }
  // The captures of the jobs never run are freed outside the lock: they may
  // schedule or log.
  dropped.clear();
  return start;
}

void HostBridge::destroyAfterStop(HostBridge* bridge) {
  BridgeTable& table = bridgeTable();
  {
    std::unique_lock lock(table.mutex, std::defer_lock);
    if (!lockTable(lock)) return;
    const auto found = table.live.find(bridge);
    if (found == table.live.end()) return;
    // Stopped from inside an entry on this thread (the core's yield, wait
    // or a handler): the entry returns into the object, so its outermost
    // leave destroys it.
    if (found->second.depthOf(std::this_thread::get_id()) != 0) {
      found->second.destroyWhenIdle = true;
      return;
    }
    table.forget(bridge);
  }
  delete bridge;
}

}  // namespace Quor
