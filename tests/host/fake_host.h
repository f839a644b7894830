#pragma once
// A core of our own for the bridge's tests: a HostFunctions table whose
// functions record every call, answer requests from a script, and keep the
// event handlers the plugin registers. A plugin started with context() talks
// to it.

#include <cstring>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "binding/host_value.h"
#include "binding/library_allocator.h"
#include "host/host_records.h"
#include "host/plugin_base.h"

namespace Quor::HostTest {

// Packed fields are read by value: a reference to them may be misaligned.
template <class T>
T copyOf(T value) {
  return value;
}

// What the fake core answers one request with.
struct ScriptedAnswer {
  std::string errorMessage;  // set: the answer carries this error text
  std::int32_t status = 0;
  Value body;
  // Streamed answer: each read delivers one chunk with its "more" byte.
  struct Chunk {
    std::string bytes;
    std::uint8_t more = 0;
  };
  std::vector<Chunk> chunks;
  bool streamed = false;
};

struct SentRequest {
  std::uint32_t method = 0;
  std::string path;
  std::uint32_t argumentCount = 0;
  bool positional = false;
  Value argument;
  std::uint32_t requestId = 0;
};

struct FakeHost {
  HostFunctions table{};  // first: every function gets its address
  HostContext context{&table, 77};

  std::vector<std::string> calls;  // "sendRequest /x", "yield", "beginWait Wait: yield", ...
  std::vector<SentRequest> requests;
  std::deque<ScriptedAnswer> answers;
  int releases = 0;
  int streamReleases = 0;
  std::vector<std::uint32_t> readSizes;  // bytes delivered per stream read
  struct Registration {
    HostEventCallback callback;
    void* context;
    std::uint32_t flag;
  };
  std::map<std::string, Registration> handlers;
  std::vector<std::string> published;  // event names in order
  std::vector<Value> publishedPayloads;
  std::vector<double> delays;
  std::vector<std::pair<HostJobCallback, void*>> jobs;
  std::vector<std::pair<std::uint32_t, std::string>> logLines;
  // Runs once inside the next registerEventHandler or unregisterEventHandler,
  // before the call changes anything: what another thread does while the core
  // is busy with a registration.
  std::function<void()> duringNextRegistration;
  // Guards calls, handlers, logLines and duringNextRegistration, which the event tests reach from
  // several threads; never held while a plugin callback runs.
  std::mutex mutex;

  FakeHost();
  static FakeHost& of(HostFunctions* table) { return *reinterpret_cast<FakeHost*>(table); }

  // Delivers an event to the handler registered for name, as the core does.
  bool deliver(const std::string& name, const Value& payload);
  // Runs the scheduled jobs in order.
  void runJobs();

 private:
  ScriptedAnswer current_;
  std::size_t nextChunk_ = 0;
  friend struct FakeHostFunctions;
};

// A plugin on the base class with its protected parts in reach.
class TestPlugin : public PluginBase {
 public:
  using HostBridge::eventHandlers;
  using HostBridge::exactResourceHandlers;
  using HostBridge::patternResourceHandlers;
  using HostBridge::proxyResponses;

  // Loads against a core of 18.0.0 and starts with host.
  void loadAndStart(FakeHost& host);
};

}  // namespace Quor::HostTest
