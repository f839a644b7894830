// The plugin object against a recording core (tests/host/fake_host.h), with
// the migration run itself scripted: the attempt counter, the outcome in the
// telemetry and the stored error, one run per object, and the two answers
// whose absence ends the operation (never the process). The whole story
// runs end to end in tests/end_to_end/beta_opt_in_check.sh.

#include "plugin/beta_opt_in_plugin.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "logging/make_error.h"
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
  Expected<void> runMigration() override {
    ++runs;
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

}  // namespace
}  // namespace Quor
