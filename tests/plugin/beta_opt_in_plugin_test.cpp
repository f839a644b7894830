// The plugin object against a recording core (tests/host/fake_host.h), with
// the migration run itself scripted: the attempt counter, the outcome in the
// telemetry and the stored error, one run per object, and the two answers
// whose absence ends the operation (never the process). The whole story
// runs end to end in tests/end_to_end/beta_opt_in_check.sh.

#include "plugin/beta_opt_in_plugin.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "logging/make_error.h"
#include "plugin/elevated_launch.h"
#include "plugin/migration_stop.h"
#include "tests/host/fake_host.h"
#include "tests/logging/capturing_log_target.h"

namespace Quor {
namespace {

using HostTest::FakeHost;
using HostTest::ScriptedAnswer;

class ScriptedRunPlugin final : public BetaOptInPlugin {
 public:
  explicit ScriptedRunPlugin(FakeHost& host) {
    HostHandshake handshake{};
    handshake.apiMajor = 18;
    load(&handshake, "qel-beta-opt-in");
    PluginBase::start(this, &host.context);
  }
  Expected<void> outcome;
  int runs = 0;
  // Runs inside the run, before it answers the outcome.
  std::function<void()> duringRun = [] {};
  Expected<void> runMigration() override {
    ++runs;
    duringRun();
    return outcome;
  }
};

ScriptedAnswer fromKxu() {
  ScriptedAnswer answer;
  answer.body.makeCollection();
  answer.body.appendElement().setString("--from-kxu");
  return answer;
}

ScriptedAnswer refusal() {
  ScriptedAnswer answer;
  answer.errorMessage = "unavailable";
  answer.status = 503;
  return answer;
}

std::vector<std::string> paths(const FakeHost& host) {
  std::vector<std::string> result;
  for (const auto& request : host.requests) result.push_back(request.path);
  return result;
}

bool logged(const FakeHost& host, std::uint32_t level, const std::string& text) {
  for (const auto& [lineLevel, message] : host.logLines) {
    if (lineLevel == level && message.find(text) != std::string::npos) return true;
  }
  return false;
}

class BetaOptInPluginTest : public Testing::IsolatedLoggerTest {};

// The elevated process exits with 42 at its second poll; the steady clock
// moves 0.4 s at every reading, so a slice passes without real waiting.
// beforeAnswer runs inside the shell call, on the prompt's thread.
class LaunchSystem final : public ElevatedLaunchSystem {
 public:
  std::function<void()> beforeAnswer = [] {};
  std::atomic<int> polls{0}, closes{0};

  bool isVersion6OrLater() override { return true; }
  std::uint32_t systemDirectory(char* buffer, std::uint32_t) override {
    const std::string folder = "C:\\windows\\system32";
    folder.copy(buffer, folder.size());
    buffer[folder.size()] = '\0';
    return static_cast<std::uint32_t>(folder.size());
  }
  Expected<std::string> executableDirectory() override { return std::string("C:\\T\\"); }
  bool isOnNetworkDrive(const std::string&) override { return false; }
  ShellExecuteAnswer shellExecute(const ShellExecuteRequest&) override {
    beforeAnswer();
    return {42, reinterpret_cast<ProcessHandle>(0x10)};
  }
  ProcessPoll pollProcess(ProcessHandle) override { return ++polls < 2 ? ProcessPoll::Running : ProcessPoll::Exited; }
  bool processExitCode(ProcessHandle, std::uint32_t& code) override {
    code = 42;
    return true;
  }
  void closeProcess(ProcessHandle) override { ++closes; }
  std::uint32_t lastErrorCode() override { return 0; }
  std::int64_t steadyNanoseconds() override { return steady += 400'000'000; }
  std::int64_t wallClockTicks() override { return steady / 100; }

 private:
  std::atomic<std::int64_t> steady{0};
};

TEST_F(BetaOptInPluginTest, TheDecisionsLinesReachTheCoreAtLevelAlways) {
  const struct {
    std::vector<std::string> arguments;
    const char* line;
  } cases[] = {
      {{"--no-zamp", "--from-kxu"}, "Opt in migration is not needed as we are not using zamp."},
      {{"--allow-multiple-clients", "--from-kxu"}, "Opt in migration disabled due to --allow-multiple-clients flag."},
      {{}, "TessarynClient was not launched from KXU, assuming migration has been successfully performed."},
  };
  for (const auto& testCase : cases) {
    SCOPED_TRACE(testCase.line);
    FakeHost host;
    ScriptedRunPlugin plugin(host);
    host.answers.emplace_back();
    host.answers.back().body.makeCollection();
    for (const std::string& argument : testCase.arguments) host.answers.back().body.appendElement().setString(argument);
    RemotingResponse response;
    const Expected<bool> needed = plugin.needsMigration(response);
    EXPECT_TRUE(needed && !*needed);
    EXPECT_THAT(host.logLines, ::testing::ElementsAre(::testing::Pair(3u, testCase.line)));
  }
}

TEST_F(BetaOptInPluginTest, TheElevatedWaitGoesThroughTheCoresWaitAndYield) {
  FakeHost host;
  ScriptedRunPlugin plugin(host);
  host.calls.clear();
  LaunchSystem system;
  EXPECT_TRUE(plugin.launchElevated("C:\\T", system));
  const auto count = [&](const char* call) { return std::count(host.calls.begin(), host.calls.end(), call); };
  // Two slices for the process at least (the prompt's thread may add some).
  EXPECT_GE(count("beginWait Wait: sleep 0"), 2);
  EXPECT_EQ(count("endWait"), count("beginWait Wait: sleep 0"));
  EXPECT_GE(count("yield"), count("beginWait Wait: sleep 0"));
  EXPECT_EQ(system.closes, 1);
}

std::int32_t pausingYield(HostFunctions*) {
  std::this_thread::sleep_for(std::chrono::milliseconds(1));
  return 0;
}
std::int32_t quietBeginWait(HostFunctions*, const char*, std::uint32_t) { return 0; }
std::int32_t quietEndWait(HostFunctions*) { return 0; }

TEST_F(BetaOptInPluginTest, StopEndsTheWaitForAPromptNobodyAnswersAndTheLateAnswerTouchesNothing) {
  FakeHost host;
  // The job thread waits while this one stops: nothing is recorded.
  host.table.yield = &pausingYield;
  host.table.beginWait = &quietBeginWait;
  host.table.endWait = &quietEndWait;
  auto* plugin = new ScriptedRunPlugin(host);
  LaunchSystem system;
  std::promise<void> answer;
  const std::shared_future<void> answered = answer.get_future().share();
  system.beforeAnswer = [answered] { answered.wait(); };
  std::atomic<bool> launching{false};
  Expected<void> result;
  plugin->scheduleJob(
      "migrate",
      [&, plugin] {
        launching = true;
        result = plugin->launchElevated("C:\\T", system);
      },
      std::chrono::steady_clock::now());
  std::thread core([&host] { host.runJobs(); });
  while (!launching) std::this_thread::yield();
  std::this_thread::sleep_for(std::chrono::milliseconds(300));  // well inside the prompt's wait

  const auto called = std::chrono::steady_clock::now();
  PluginBase::stop(static_cast<PluginBase*>(plugin));
  const auto took = std::chrono::steady_clock::now() - called;
  core.join();
  EXPECT_LT(took, std::chrono::seconds(2));
  ASSERT_FALSE(result);
  EXPECT_EQ(result.error().message, migrationStoppedMessage);

  // The prompt is answered after the plugin is gone: its process is left
  // running, only the handle is closed, and nothing is polled or reported.
  answer.set_value();
  for (int wait = 0; wait < 500 && system.closes == 0; ++wait) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_EQ(system.closes, 1);
  EXPECT_EQ(system.polls, 0);
}

TEST_F(BetaOptInPluginTest, TheJobCountsTheAttemptRunsOnceAndReportsTheOutcome) {
  const std::string runError = R"({"message":"Failed to delete x.lnk","errorCode_int":55})";
  const struct {
    std::function<void(Value&)> stored;
    bool succeeds;
    std::uint64_t written;
  } cases[] = {
      {[](Value&) {}, true, 2},
      {[](Value& v) { v.setString("0x10"); }, false, 15},
      {[](Value& v) { v.setUnsigned(std::uint64_t{0}); }, true, UINT64_MAX},
  };
  for (const auto& testCase : cases) {
    SCOPED_TRACE(testCase.written);
    FakeHost host;
    ScriptedRunPlugin plugin(host);
    if (!testCase.succeeds) plugin.outcome = makeError(55, "Failed to delete %s", "x.lnk");
    plugin.setMigrationError("boom");  // a run's outcome replaces it
    host.answers.push_back(fromKxu());
    host.answers.emplace_back();
    testCase.stored(host.answers.back().body);
    for (int job = 0; job < 2; ++job) {
      plugin.scheduleMigration();
      EXPECT_EQ(host.delays.back(), 0.0);
      host.runJobs();
    }
    EXPECT_EQ(plugin.runs, 1);

    std::vector<std::string> expected = {BetaOptInPaths::commandLineArgs, BetaOptInPaths::attemptsRemaining,
                                         BetaOptInPaths::attemptsRemaining};
    if (testCase.succeeds) expected.push_back(BetaOptInPaths::hasMigrated);
    expected.push_back(BetaOptInPaths::migrateResultTelemetry);
    ASSERT_EQ(paths(host), expected);
    EXPECT_EQ(host.requests[2].argument.getUnsigned(), testCase.written);
    const Value& telemetry = host.requests.back().argument;
    EXPECT_EQ(telemetry.member("attempts_remaining").getString(), std::to_string(testCase.written));
    EXPECT_EQ(telemetry.member("succeeded").getString(), testCase.succeeds ? "true" : "false");
    EXPECT_EQ(telemetry.member("error").getString(), testCase.succeeds ? "" : runError);
    EXPECT_EQ(plugin.getMigrationError(), testCase.succeeds ? std::nullopt : std::optional<std::string>(runError));
    // The PUT's event, then the job's two, each under two names.
    EXPECT_EQ(host.published.size(), 6u);
  }
}

TEST_F(BetaOptInPluginTest, AnUnreadableCommandLineEndsTheRequestWithStatus500AndDecidesNothing) {
  FakeHost host;
  ScriptedRunPlugin plugin(host);
  host.answers.push_back(refusal());
  RemotingResponse response;
  const Expected<bool> needed = plugin.needsMigration(response);
  ASSERT_FALSE(needed);
  EXPECT_EQ(textForm(needed.error()), "ALE-F0BB341E");
  EXPECT_EQ(response.status, 500u);
  EXPECT_TRUE(logged(host, 2, "ALE-F0BB341E"));

  host.answers.push_back(refusal());
  plugin.scheduleMigration();
  host.runJobs();
  EXPECT_EQ(paths(host), (std::vector<std::string>{BetaOptInPaths::commandLineArgs, BetaOptInPaths::commandLineArgs}));
  EXPECT_TRUE(host.published.empty());
  EXPECT_EQ(plugin.runs, 0);
}

TEST_F(BetaOptInPluginTest, AnUnreadableCounterEndsTheJobAfterTheNeedsMigrationEvent) {
  FakeHost host;
  ScriptedRunPlugin plugin(host);
  host.answers.push_back(fromKxu());
  host.answers.push_back(refusal());
  plugin.scheduleMigration();
  host.runJobs();
  EXPECT_EQ(paths(host),
            (std::vector<std::string>{BetaOptInPaths::commandLineArgs, BetaOptInPaths::attemptsRemaining}));
  EXPECT_TRUE(logged(host, 2, "ALE-884760E9"));
  EXPECT_TRUE(logged(host, 2, "Failed to get maybeOptInMigrationAttemptsRemaining."));
  EXPECT_EQ(host.published.size(), 2u);
  EXPECT_EQ(plugin.runs, 0);
  // The migration stays started: false, without asking the core again.
  RemotingResponse response;
  const Expected<bool> needed = plugin.needsMigration(response);
  EXPECT_TRUE(needed && !*needed);
  EXPECT_EQ(host.requests.size(), 2u);
}

// A stop that comes once the run is over: a run that succeeded is recorded
// while the stop on another thread waits for the job; a failed one, and any
// run stopped from the job's own wait, write nothing. No event or telemetry
// follows either way.
// The core's yield that stops the plugin it holds, once.
PluginBase* gStopFromYield = nullptr;
std::int32_t stoppingYield(HostFunctions*) {
  PluginBase::stop(std::exchange(gStopFromYield, nullptr));
  return 0;
}

TEST_F(BetaOptInPluginTest, AStopAfterTheRunRecordsOnlyASuccessTheCoreCanStillHear) {
  const struct {
    const char* name;
    bool succeeds;
    bool fromTheJobsOwnWait;
    bool recorded;
  } cases[] = {
      {"success, stop on another thread", true, false, true},
      {"failure, stop on another thread", false, false, false},
      {"success, stop from the job's own wait", true, true, false},
  };
  for (const auto& testCase : cases) {
    SCOPED_TRACE(testCase.name);
    FakeHost host;
    auto* plugin = new ScriptedRunPlugin(host);
    if (!testCase.succeeds) plugin->outcome = makeError(55, "Failed to delete %s", "x.lnk");
    host.answers.push_back(fromKxu());
    std::atomic<bool> running{false};
    if (testCase.fromTheJobsOwnWait) {
      host.table.yield = &stoppingYield;
      gStopFromYield = plugin;
      plugin->duringRun = [plugin] { plugin->yield(); };
    } else {
      plugin->duringRun = [&running, plugin] {
        running = true;
        while (!plugin->stopRequested()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
      };
    }
    plugin->scheduleMigration();
    std::thread core([&host] { host.runJobs(); });
    if (!testCase.fromTheJobsOwnWait) {
      while (!running) std::this_thread::yield();
      PluginBase::stop(static_cast<PluginBase*>(plugin));
    }
    core.join();
    std::vector<std::string> expected = {BetaOptInPaths::commandLineArgs, BetaOptInPaths::attemptsRemaining,
                                         BetaOptInPaths::attemptsRemaining};
    if (testCase.recorded) expected.push_back(BetaOptInPaths::hasMigrated);
    EXPECT_EQ(paths(host), expected);
    EXPECT_EQ(host.published.size(), 2u);  // the needs-migration event alone
  }
}

}  // namespace
}  // namespace Quor
