// stop against whatever runs inside the plugin: jobs not run yet (freed at
// stop; a callback the core fires later does nothing), a job, an event
// handler or a request inside the plugin on another thread (stop waits for
// it and refuses whatever comes meanwhile), and an entry on the very thread
// that stops the plugin (the core stops it from inside its own yield or
// publishEvent): the object then goes when that entry leaves, and nothing
// but the release functions reaches the core after stop. Extra stops and a
// start after stop do nothing, and nothing of a stopped object is read.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "host/host_call_messages.h"
#include "logging/logger.h"
#include "remoting/dispatch_messages.h"
#include "tests/host/fake_host.h"
#include "tests/logging/capturing_log_target.h"

namespace Quor::HostTest {
namespace {

using Clock = std::chrono::steady_clock;
using Client::PluginResourceEvent;

// A plugin that says when it is destroyed, with one route, GET "/t/work",
// whose work the test sets.
class WatchedPlugin final : public TestPlugin {
 public:
  explicit WatchedPlugin(std::atomic<bool>& destroyed) : destroyed_(destroyed) {}
  ~WatchedPlugin() override { destroyed_ = true; }

  std::function<Expected<std::vector<std::string>>()> work = [] { return std::vector<std::string>{}; };

  void registerEndpoints() override {
    transport.addRoute(RequestMethod::Get, "/t/work", [this] { return work(); });
  }

 private:
  std::atomic<bool>& destroyed_;
};

// The core's side of GET "/t/work", kept from the registration answer so it
// still works (and must find nothing) once the object is gone.
struct WorkEndpoint {
  HostRequestHandler handler = nullptr;
  void* context = nullptr;

  struct Answer {
    std::int32_t status = 0;
    std::string error;
  };
  Answer call() const {
    HostRequest request{};
    request.method = requestMethodCode(RequestMethod::Get);
    request.path = "/t/work";
    request.endpointContext = context;
    HostResponse response{};
    handler(&response, &request);
    Answer answer{response.status, response.errorMessage != nullptr ? response.errorMessage : ""};
    if (const HostResponseRelease release = response.release) release(&response);
    return answer;
  }
};

Value slowEventPayload() {
  Value payload;
  payload.makeStructure();
  payload.writeMember("uri").setString("/slow");
  payload.writeMember("eventType").setString("Update");
  return payload;
}

// Callbacks scheduled from several threads, kept for the test to fire.
std::mutex gScheduledMutex;
std::vector<std::pair<HostJobCallback, void*>> gScheduled;

std::int32_t keepCallback(HostFunctions*, const char*, HostJobCallback callback, void* context, double,
                          std::uint32_t) {
  const std::lock_guard lock(gScheduledMutex);
  gScheduled.emplace_back(callback, context);
  return 1;
}

std::int32_t quietYield(HostFunctions*) { return 0; }
std::int32_t quietBeginWait(HostFunctions*, const char*, std::uint32_t) { return 0; }
std::int32_t quietEndWait(HostFunctions*) { return 0; }

class HostStopTest : public Testing::IsolatedLoggerTest {
 public:  // the cases' lambdas reach the fixture through a reference
  void SetUp() override {
    IsolatedLoggerTest::SetUp();
    gScheduled.clear();
    recording_ = host_.table;
    // Called from several threads at once: nothing is recorded.
    host_.table.scheduleCallback = &keepCallback;
    host_.table.yield = &quietYield;
    host_.table.beginWait = &quietBeginWait;
    host_.table.endWait = &quietEndWait;
  }

  // A new plugin, loaded and started.
  void start() {
    destroyed_ = false;
    plugin_ = new WatchedPlugin(destroyed_);
    plugin_->loadAndStart(host_);
    const HostEndpoint& endpoint = plugin_->pluginRegistrationAnswer().endpoints[0];
    endpoint_.handler = endpoint.handler;
    endpoint_.context = endpoint.description.context;
  }
  void stopPlugin() { PluginBase::stop(static_cast<PluginBase*>(plugin_)); }

  FakeHost host_;
  HostFunctions recording_{};  // the fake core's own, recording functions
  std::atomic<bool> destroyed_{false};
  WatchedPlugin* plugin_ = nullptr;
  WorkEndpoint endpoint_;
};

TEST_F(HostStopTest, JobsScheduledAndDroppedAtStopFromSeveralThreads) {
  start();
  const auto captured = std::make_shared<int>(0);
  std::atomic<int> started{0}, finished{0};
  std::vector<std::thread> schedulers;
  for (int thread = 0; thread < 4; ++thread) {
    schedulers.emplace_back([&] {
      for (int job = 0; job < 50; ++job) {
        plugin_->scheduleJob(
            "j",
            [captured, &started, &finished] {
              ++started;
              std::this_thread::sleep_for(std::chrono::milliseconds(20));
              ++finished;
            },
            Clock::now());
      }
    });
  }
  for (std::thread& scheduler : schedulers) scheduler.join();
  ASSERT_EQ(gScheduled.size(), 200u);
  // Half of the callbacks fire while stop runs, the rest only after it.
  const std::vector<std::pair<HostJobCallback, void*>> duringStop(gScheduled.begin(), gScheduled.begin() + 100);
  const std::vector<std::pair<HostJobCallback, void*>> afterStop(gScheduled.begin() + 100, gScheduled.end());
  std::thread core([&] {
    for (const auto& [callback, context] : duringStop) callback(context);
  });
  while (started == 0) std::this_thread::yield();  // a job is inside the plugin when stop comes
  stopPlugin();
  const int startedWhenStopReturned = started;
  const int finishedWhenStopReturned = finished;
  core.join();
  EXPECT_TRUE(destroyed_);
  EXPECT_EQ(finishedWhenStopReturned, startedWhenStopReturned) << "stop returned while a job was inside the plugin";
  EXPECT_EQ(started, startedWhenStopReturned) << "a job started after stop";
  // What the jobs not run captured is freed by stop itself.
  EXPECT_EQ(captured.use_count(), 1);
  for (const auto& [callback, context] : afterStop) callback(context);
  EXPECT_EQ(started, startedWhenStopReturned);
}

// One entry of the core's is inside the plugin on another thread, held
// there until the test lets it go; then it reads the object once more.
TEST_F(HostStopTest, StopWaitsForAnEntryOnAnotherThreadAndRefusesWhatComesMeanwhile) {
  struct Case {
    const char* entry;
    std::function<void(HostStopTest&)> enter;  // run on the entry's thread
  };
  const Case cases[] = {
      {"job", [](HostStopTest& test) { gScheduled.at(0).first(gScheduled.at(0).second); }},
      {"event handler", [](HostStopTest& test) { test.host_.deliver("OnJsonApiEvent", slowEventPayload()); }},
      {"request", [](HostStopTest& test) { test.endpoint_.call(); }},
  };
  for (const Case& testCase : cases) {
    SCOPED_TRACE(testCase.entry);
    gScheduled.clear();
    start();
    std::atomic<bool> inside{false}, release{false}, left{false};
    std::string nameSeenOnLeaving;
    WatchedPlugin* plugin = plugin_;
    const auto holdInside = [&, plugin] {
      if (inside.exchange(true)) return;  // only the first comes in to stay
      while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(1));
      std::this_thread::sleep_for(std::chrono::milliseconds(50));  // a last step after the stop
      nameSeenOnLeaving = plugin->bridgeName();
      left = true;
    };
    plugin_->work = [holdInside] {
      holdInside();
      return std::vector<std::string>{};
    };
    plugin_->addExactResourceHandler("/slow", [holdInside](const PluginResourceEvent&) { holdInside(); });
    plugin_->scheduleJob("held", holdInside, Clock::now());
    std::atomic<int> handlerCalls{0};
    plugin_->addExactResourceHandler("/other", [&](const PluginResourceEvent&) { ++handlerCalls; });
    // The core's registration, to call after the object is gone.
    const FakeHost::Registration kept = host_.handlers.at("OnJsonApiEvent");

    std::thread entry([&] { testCase.enter(*this); });
    while (!inside) std::this_thread::yield();
    std::atomic<bool> stopReturned{false};
    bool leftWhenStopReturned = false;
    std::thread stopper([&] {
      stopPlugin();
      leftWhenStopReturned = left;
      stopReturned = true;
    });
    while (!plugin->stopRequested()) std::this_thread::yield();

    // While stop waits: nothing new gets in, and a second stop or a start
    // does nothing.
    const WorkEndpoint::Answer refused = endpoint_.call();
    EXPECT_EQ(refused.status, 503);
    EXPECT_EQ(refused.error, HostCallMessages::pluginStopping);
    Value other = slowEventPayload();
    other.writeMember("uri").setString("/other");
    host_.deliver("OnJsonApiEvent", other);
    EXPECT_EQ(plugin->scheduleJob("late", [&] { ++handlerCalls; }, Clock::now()), 0);
    EXPECT_EQ(PluginBase::start(plugin, &host_.context), 0);
    std::atomic<bool> secondStopReturned{false};
    std::thread secondStop([&] {
      PluginBase::stop(plugin);
      secondStopReturned = true;
    });
    for (int wait = 0; wait < 2000 && !secondStopReturned; ++wait) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_TRUE(secondStopReturned) << "a second stop did more than nothing";
    EXPECT_FALSE(stopReturned) << "stop returned with the " << testCase.entry << " still inside";
    EXPECT_FALSE(destroyed_);

    release = true;
    stopper.join();
    secondStop.join();
    entry.join();
    EXPECT_TRUE(leftWhenStopReturned) << "stop returned while the " << testCase.entry << " was inside";
    EXPECT_EQ(nameSeenOnLeaving, "qel-beta-opt-in");
    EXPECT_TRUE(destroyed_);
    EXPECT_EQ(handlerCalls, 0);

    // The object is gone: what the core may still call finds nothing.
    EXPECT_TRUE(host_.handlers.empty()) << "a handler outlived stop at the core";
    PluginBase::stop(plugin);
    EXPECT_EQ(PluginBase::start(plugin, &host_.context), 0);
    HostEventRecord late{};
    late.name = "OnJsonApiEvent";
    late.context = kept.context;
    kept.callback(&late);
    EXPECT_EQ(endpoint_.call().error, DispatchMessages::invalidFunction);
  }
}

// The core's function in which it stops the plugin, on the thread that
// called it, and what it had been called with before.
struct StopInside {
  static inline PluginBase* plugin = nullptr;
  static inline std::atomic<bool>* destroyed = nullptr;
  static inline HostFunctions recording{};
  static inline bool armed = false;
  static inline bool destroyedWhenStopReturned = true;
  static inline std::size_t callsWhenStopReturned = 0;

  static void stopOnce(HostFunctions* table) {
    if (!std::exchange(armed, false)) return;
    PluginBase::stop(plugin);
    destroyedWhenStopReturned = *destroyed;
    callsWhenStopReturned = FakeHost::of(table).calls.size();
  }
  static std::int32_t yield(HostFunctions* table) {
    const std::int32_t result = recording.yield(table);
    stopOnce(table);
    return result;
  }
  static void publishEvent(HostFunctions* table, const HostEventRecord* record) {
    recording.publishEvent(table, record);
    stopOnce(table);
  }
};

TEST_F(HostStopTest, StopFromInsideAnEntryOnItsOwnThreadLeavesTheObjectToThatEntry) {
  struct Case {
    const char* entry;
    std::function<void(WatchedPlugin&)> prepare;
    std::function<void(HostStopTest&)> enter;  // the entry, on this thread
    std::vector<std::string> callsAfterStop;   // the release functions of what the core handed in
  };
  // The answer to the request's call: a stream of short reads, each with
  // "more" set, so the plugin yields between them.
  ScriptedAnswer streamed;
  streamed.streamed = true;
  streamed.chunks = {{"[\"a\",", 1}, {"\"b\",", 1}, {"\"c\"]", 0}};
  std::string requestError;
  const Case cases[] = {
      {"job's yield",
       [](WatchedPlugin& plugin) {
         plugin.scheduleJob(
             "waits",
             [&plugin] {
               while (!plugin.stopRequested()) plugin.waitYield();
               log(LogLevel::Always, LogCategory::Dbg, "after stop");
               plugin.scheduleJob("again", [] {}, Clock::now());
             },
             Clock::now());
       },
       [](HostStopTest& test) { test.host_.runJobs(); },
       {}},
      {"request's streamed answer",
       [&](WatchedPlugin& plugin) {
         plugin.work = [&plugin] {
           return plugin.call<std::vector<std::string>>(RequestMethod::Get, "/quorclient/command-line-args");
         };
       },
       [&](HostStopTest& test) {
         test.host_.answers.push_back(streamed);
         requestError = test.endpoint_.call().error;
       },
       {"streamRelease", "release"}},
      {"event handler's publishing",
       [](WatchedPlugin& plugin) {
         plugin.addExactResourceHandler("/slow", [&plugin](const PluginResourceEvent& event) {
           // Stopped inside the first publishEvent: the second never comes.
           (void)plugin.publishResourceEvent("OnJsonApiEvent", event);
           (void)plugin.publishResourceEvent("OnJsonApiEvent", event);
         });
       },
       [](HostStopTest& test) { test.host_.deliver("OnJsonApiEvent", slowEventPayload()); },
       {}},
  };
  for (const Case& testCase : cases) {
    SCOPED_TRACE(testCase.entry);
    host_.table = recording_;
    host_.table.yield = &StopInside::yield;
    host_.table.publishEvent = &StopInside::publishEvent;
    start();
    StopInside::plugin = plugin_;
    StopInside::destroyed = &destroyed_;
    StopInside::recording = recording_;
    StopInside::destroyedWhenStopReturned = true;
    host_.jobs.clear();
    testCase.prepare(*plugin_);
    host_.logLines.clear();
    StopInside::armed = true;
    testCase.enter(*this);

    EXPECT_FALSE(StopInside::armed) << "the core never got to stop the plugin";
    EXPECT_FALSE(StopInside::destroyedWhenStopReturned) << "the object went while its entry was still inside";
    EXPECT_TRUE(destroyed_) << "the object outlived its entry";
    // After stop: the answer's stream and record go back, nothing else.
    const std::vector<std::string> afterStop(host_.calls.begin() + static_cast<std::ptrdiff_t>(StopInside::callsWhenStopReturned),
                                             host_.calls.end());
    EXPECT_EQ(afterStop, testCase.callsAfterStop);
    EXPECT_TRUE(host_.logLines.empty());
    EXPECT_TRUE(host_.jobs.empty());
  }
  EXPECT_EQ(requestError, R"({"message":"Error reading streamed response for GET /quorclient/command-line-args: )"
                          R"(Plugin is stopping","method":"GET","url":"/quorclient/command-line-args",)"
                          R"("error":"Plugin is stopping"})");
}

}  // namespace
}  // namespace Quor::HostTest
