#pragma once
// Every call of the core's into a plugin object (start, an endpoint handler,
// an event delivery, a job) holds an entry for as long as it runs inside the
// library. A process-wide table (bridge_table.h) knows the live objects and,
// per object, which threads are inside it and how deep; stop waits for the
// entries on other threads and leaves the object to the outermost entry on
// its own thread (HostBridge::beginStop). The core's pointers are only
// compared with the table's, never read, until the entry is made.

namespace Quor {

class HostBridge;

class BridgeEntry {
 public:
  enum class Outcome {
    Entered,
    Stopping,  // the object is live but its stop has begun: do nothing
    Unknown,   // not a live object of this library
  };

  // Enters the live object at `bridge` (from a pointer as the core hands it
  // back: converting it reads nothing).
  static BridgeEntry enter(const HostBridge* bridge);
  // Enters the object whose transport holds endpointContext.
  static BridgeEntry enterEndpoint(const void* endpointContext);

  BridgeEntry(BridgeEntry&& other) noexcept;
  BridgeEntry(const BridgeEntry&) = delete;
  BridgeEntry& operator=(const BridgeEntry&) = delete;
  BridgeEntry& operator=(BridgeEntry&&) = delete;
  // Leaves; the last entry of an object stopped from inside one destroys it.
  ~BridgeEntry();

  Outcome outcome() const { return outcome_; }
  bool entered() const { return outcome_ == Outcome::Entered; }
  // The object entered; null unless entered().
  HostBridge* bridge() const { return bridge_; }

 private:
  BridgeEntry(Outcome outcome, HostBridge* bridge) : outcome_(outcome), bridge_(bridge) {}
  // The object at bridge, or else the one owning endpointContext, found and
  // entered under one lock.
  static BridgeEntry enterFound(const HostBridge* bridge, const void* endpointContext);

  Outcome outcome_;
  HostBridge* bridge_;
};

}  // namespace Quor
