#pragma once
// The process-wide table behind entries, stop and jobs (bridge_entries.cpp,
// host_jobs.cpp). It outlives every plugin object and is never destroyed, so
// a callback or a stop the core makes after an object is gone (or after the
// library's own statics went at exit) looks its pointer up in a table that is
// still there and finds nothing, instead of reading freed memory.
//
// The mutex is a leaf: nothing under it calls the core, logs, runs a job's
// work or an event handler, frees a job's captures or destroys an object.

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <utility>
#include <vector>

namespace Quor {

class HostBridge;

struct JobEntry {
  HostBridge* bridge = nullptr;
  std::uint64_t id = 0;
  std::function<void()> work;
  bool running = false;
};

// One live plugin object: whether stop has begun, and which threads are
// inside it, how deep.
struct LiveBridge {
  bool stopping = false;
  // Stop ran on a thread that was inside the object: the last entry to
  // leave destroys it.
  bool destroyWhenIdle = false;
  std::vector<std::pair<std::thread::id, int>> threads;

  int depthOf(std::thread::id thread) const;
  bool anyOtherThanThis(std::thread::id thread) const;
};

struct BridgeTable {
  std::mutex mutex;
  std::condition_variable entryLeft;
  std::unordered_map<const HostBridge*, LiveBridge> live;
  // Endpoint context → the object whose transport holds it.
  std::unordered_map<const void*, HostBridge*> endpointOwners;
  // Jobs of every object, by the ticket the core holds as the callback's
  // context.
  std::unordered_map<std::uintptr_t, JobEntry> jobs;
  std::uintptr_t nextTicket = 1;

  // With the mutex held. Adds one to the calling thread's depth in bridge.
  void enter(LiveBridge& bridge, std::thread::id thread);
  // With the mutex held. Takes one off the calling thread's depth; answers
  // the object to destroy once the mutex is released (already out of the
  // table) when that was the last entry of an object stopped from inside one.
  HostBridge* leave(const HostBridge* bridge, std::thread::id thread);
  // With the mutex held: the object leaves the table with its endpoint
  // contexts.
  void forget(const HostBridge* bridge);
};

BridgeTable& bridgeTable();

}  // namespace Quor
