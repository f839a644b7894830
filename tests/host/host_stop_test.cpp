// stop against jobs in every state: not run yet (freed at stop; a callback
// the core fires later does nothing), running on another thread (stop waits
// until it has left), and running on the very thread that stops the plugin
// (the core stops it from the job's yield).

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "logging/logger.h"
#include "tests/host/fake_host.h"
#include "tests/logging/capturing_log_target.h"

namespace Quor::HostTest {
namespace {

using Clock = std::chrono::steady_clock;

// A plugin that says when it is destroyed.
class WatchedPlugin final : public TestPlugin {
 public:
  explicit WatchedPlugin(std::atomic<bool>& destroyed) : destroyed_(destroyed) {}
  ~WatchedPlugin() override { destroyed_ = true; }

 private:
  std::atomic<bool>& destroyed_;
};

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
 protected:
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

  void stopPlugin() { PluginBase::stop(static_cast<PluginBase*>(plugin_)); }

  FakeHost host_;
  HostFunctions recording_{};  // the fake core's own, recording functions
  std::atomic<bool> destroyed_{false};
  WatchedPlugin* plugin_ = new WatchedPlugin(destroyed_);
};

TEST_F(HostStopTest, JobsScheduledAndDroppedAtStopFromSeveralThreads) {
  plugin_->loadAndStart(host_);
  const auto captured = std::make_shared<int>(0);
  std::atomic<int> ran{0};
  std::vector<std::thread> schedulers;
  for (int thread = 0; thread < 4; ++thread) {
    schedulers.emplace_back([&] {
      for (int job = 0; job < 50; ++job) plugin_->scheduleJob("j", [captured, &ran] { ++ran; }, Clock::now());
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
  stopPlugin();
  const int ranWhenStopReturned = ran;
  core.join();
  EXPECT_TRUE(destroyed_);
  EXPECT_EQ(ran, ranWhenStopReturned);
  // What the jobs not run captured is freed by stop itself.
  EXPECT_EQ(captured.use_count(), 1);
  for (const auto& [callback, context] : afterStop) callback(context);
  EXPECT_EQ(ran, ranWhenStopReturned);
}

TEST_F(HostStopTest, StopWaitsForAJobRunningOnAnotherThread) {
  plugin_->loadAndStart(host_);
  std::atomic<bool> entered{false}, left{false};
  WatchedPlugin* plugin = plugin_;
  plugin_->scheduleJob(
      "long",
      [&, plugin] {
        entered = true;
        const Clock::time_point giveUp = Clock::now() + std::chrono::seconds(5);
        while (!plugin->stopRequested() && Clock::now() < giveUp) {
          plugin->waitYield();
          std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));  // a last step after the stop
        left = true;
      },
      Clock::now());
  ASSERT_EQ(gScheduled.size(), 1u);
  std::thread core([] { gScheduled[0].first(gScheduled[0].second); });
  while (!entered) std::this_thread::yield();
  const Clock::time_point called = Clock::now();
  stopPlugin();
  const auto took = Clock::now() - called;
  EXPECT_TRUE(left) << "stop returned while the job was still inside the plugin";
  EXPECT_TRUE(destroyed_);
  EXPECT_LT(took, std::chrono::seconds(2));
  core.join();
}

// The core's yield that stops the plugin from the job's own thread.
struct StopFromYield {
  static inline PluginBase* plugin = nullptr;
  static inline int yields = 0;
  static inline std::atomic<bool>* destroyed = nullptr;
  static inline bool destroyedWhenStopReturned = true;
  static inline std::size_t callsWhenStopReturned = 0;
  static inline std::size_t logLinesWhenStopReturned = 0;

  static std::int32_t yield(HostFunctions* table) {
    FakeHost& host = FakeHost::of(table);
    host.calls.push_back("yield");
    if (++yields == 3) {
      PluginBase::stop(plugin);
      destroyedWhenStopReturned = *destroyed;
      callsWhenStopReturned = host.calls.size();
      logLinesWhenStopReturned = host.logLines.size();
    }
    return 0;
  }
};

TEST_F(HostStopTest, ACoreThatStopsFromTheJobsYieldIsNotMadeToWaitForItself) {
  host_.table = recording_;
  host_.table.yield = &StopFromYield::yield;
  StopFromYield::plugin = plugin_;
  StopFromYield::yields = 0;
  StopFromYield::destroyed = &destroyed_;
  plugin_->loadAndStart(host_);
  WatchedPlugin* plugin = plugin_;
  std::int32_t scheduledAfterStop = -1;
  plugin_->scheduleJob(
      "waits",
      [plugin, &scheduledAfterStop] {
        while (!plugin->stopRequested()) {
          plugin->beginWait("Wait: sleep", 0);
          plugin->yield();
          plugin->endWait();
        }
        log(LogLevel::Always, LogCategory::Dbg, "after stop");
        scheduledAfterStop = plugin->scheduleJob("again", [] {}, Clock::now());
      },
      Clock::now());
  host_.runJobs();  // on this thread, as the core's job thread
  EXPECT_EQ(StopFromYield::yields, 3);
  EXPECT_FALSE(StopFromYield::destroyedWhenStopReturned) << "the object went while its job was still running";
  EXPECT_TRUE(destroyed_) << "the object outlived its job";
  // Nothing reached the core after stop returned: no endWait, no job, no log line.
  EXPECT_EQ(host_.calls.size(), StopFromYield::callsWhenStopReturned);
  EXPECT_EQ(host_.logLines.size(), StopFromYield::logLinesWhenStopReturned);
  EXPECT_EQ(scheduledAfterStop, 0);
  EXPECT_TRUE(host_.jobs.empty());
}

}  // namespace
}  // namespace Quor::HostTest
