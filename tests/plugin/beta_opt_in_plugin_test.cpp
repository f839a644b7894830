// The plugin object against a recording core (tests/host/fake_host.h), with
// the migration run itself scripted: what the job asks of the core, in
// which order, what it publishes and sends, the stored error, and the two
// answers whose absence ends the operation (never the process).

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
  Expected<void> outcome;
  int runs = 0;
  Expected<void> runMigration() override {
    ++runs;
    return outcome;
  }
  void loadAndStart(FakeHost& host) {
    HostHandshake handshake{};
    handshake.apiMajor = 18;
    load(&handshake, "qel-beta-opt-in");
    ASSERT_EQ(PluginBase::start(this, &host.context), 1);
  }
};

ScriptedAnswer answer(const Value& body) {
  ScriptedAnswer scripted;
  scripted.body = body;
  return scripted;
}

ScriptedAnswer arguments(std::vector<std::string> list) {
  Value body;
  body.makeCollection();
  for (const std::string& text : list) body.appendElement().setString(text);
  return answer(body);
}

ScriptedAnswer refusal() {
  ScriptedAnswer scripted;
  scripted.errorMessage = "unavailable";
  scripted.status = 503;
  return scripted;
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
  const std::string storedError = R"({"message":"boom","errorCode_int":12345})";
  const std::string runError = R"({"message":"Failed to delete x.lnk","errorCode_int":55})";
  const struct {
    const char* name;
    std::function<void(Value&)> stored;
    bool succeeds;
    std::uint64_t written;
  } cases[] = {
      {"empty store, success", [](Value&) {}, true, 2},
      {"hexadecimal text, failure", [](Value& v) { v.setString("0x10"); }, false, 15},
      {"zero, success", [](Value& v) { v.setUnsigned(std::uint64_t{0}); }, true, UINT64_MAX},
  };
  for (const auto& testCase : cases) {
    SCOPED_TRACE(testCase.name);
    FakeHost host;
    ScriptedRunPlugin plugin;
    plugin.loadAndStart(host);
    if (!testCase.succeeds) plugin.outcome = makeError(55, "Failed to delete %s", "x.lnk");
    plugin.setMigrationError("boom");
    ASSERT_EQ(plugin.getMigrationError(), storedError);
    host.published.clear();
    host.publishedPayloads.clear();

    Value stored;
    testCase.stored(stored);
    host.answers.push_back(arguments({"--from-kxu"}));
    host.answers.push_back(answer(stored));
    plugin.scheduleMigration();
    ASSERT_EQ(host.jobs.size(), 1u);
    EXPECT_EQ(host.delays.back(), 0.0);
    host.runJobs();
    EXPECT_EQ(plugin.runs, 1);

    std::vector<std::string> expectedPaths = {BetaOptInPaths::commandLineArgs, BetaOptInPaths::attemptsRemaining,
                                              BetaOptInPaths::attemptsRemaining};
    if (testCase.succeeds) expectedPaths.push_back(BetaOptInPaths::hasMigrated);
    expectedPaths.push_back(BetaOptInPaths::migrateResultTelemetry);
    ASSERT_EQ(paths(host), expectedPaths);
    EXPECT_EQ(host.requests[1].method, 2u);  // GET
    EXPECT_EQ(host.requests[2].method, 6u);  // POST
    EXPECT_EQ(host.requests[2].argument.getUnsigned(), testCase.written);
    const Value& telemetry = host.requests.back().argument;
    EXPECT_EQ(telemetry.member("attempts_remaining").getString(), std::to_string(testCase.written));
    EXPECT_EQ(telemetry.member("succeeded").getString(), testCase.succeeds ? "true" : "false");
    if (testCase.succeeds) {
      EXPECT_TRUE(host.requests[3].argument.getBool());
      EXPECT_FALSE(telemetry.hasMember("error"));
      EXPECT_EQ(plugin.getMigrationError(), std::nullopt);  // the stored error is gone
    } else {
      EXPECT_EQ(telemetry.member("error").getString(), runError);
      EXPECT_EQ(plugin.getMigrationError(), runError);
    }
    EXPECT_TRUE(logged(host, 3, "Performing opt-in migration."));

    // Each event goes out under its own name and the base name.
    ASSERT_EQ(host.published.size(), 4u);
    EXPECT_EQ(host.published[1], "OnJsonApiEvent");
    EXPECT_EQ(host.published[3], "OnJsonApiEvent");
    EXPECT_EQ(host.publishedPayloads[1].member("uri").getString(), BetaOptInPaths::needsMigration);
    EXPECT_EQ(host.publishedPayloads[1].member("data").kind(), ValueKind::Bool);
    EXPECT_FALSE(host.publishedPayloads[1].member("data").getBool(true));
    EXPECT_EQ(host.publishedPayloads[3].member("uri").getString(), BetaOptInPaths::migrationError);
    if (testCase.succeeds) {
      EXPECT_TRUE(host.publishedPayloads[3].member("data").isEmpty());
    } else {
      EXPECT_EQ(host.publishedPayloads[3].member("data").getString(), runError);
    }

    // A second job finds the migration started: nothing asked, run or sent.
    const std::size_t requestsBefore = host.requests.size();
    plugin.scheduleMigration();
    host.runJobs();
    EXPECT_EQ(host.requests.size(), requestsBefore);
    EXPECT_EQ(host.published.size(), 4u);
    EXPECT_EQ(plugin.runs, 1);
    plugin.shutdown();
  }
}

TEST_F(BetaOptInPluginTest, AStoredErrorKeepsItsTextAsReceivedAndIsPublished) {
  FakeHost host;
  ScriptedRunPlugin plugin;
  plugin.loadAndStart(host);
  EXPECT_EQ(plugin.getMigrationError(), std::nullopt);
  plugin.setMigrationError("50% {done}");
  const std::string text = R"({"message":"50% {done}","errorCode_int":12345})";
  EXPECT_EQ(plugin.getMigrationError(), text);
  ASSERT_EQ(host.published.size(), 2u);
  EXPECT_EQ(host.publishedPayloads[1].member("data").getString(), text);
  EXPECT_EQ(host.publishedPayloads[1].member("eventType").getString(), "Update");
  plugin.shutdown();
}

TEST_F(BetaOptInPluginTest, AnUnreadableCommandLineEndsTheRequestWithStatus500AndDecidesNothing) {
  FakeHost host;
  ScriptedRunPlugin plugin;
  plugin.loadAndStart(host);
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
  plugin.shutdown();
}

TEST_F(BetaOptInPluginTest, AnUnreadableCounterEndsTheJobAfterTheNeedsMigrationEvent) {
  FakeHost host;
  ScriptedRunPlugin plugin;
  plugin.loadAndStart(host);
  host.answers.push_back(arguments({"--from-kxu"}));
  host.answers.push_back(refusal());
  plugin.scheduleMigration();
  host.runJobs();
  EXPECT_EQ(paths(host),
            (std::vector<std::string>{BetaOptInPaths::commandLineArgs, BetaOptInPaths::attemptsRemaining}));
  EXPECT_TRUE(logged(host, 2, "ALE-884760E9"));
  EXPECT_TRUE(logged(host, 2, "Failed to get maybeOptInMigrationAttemptsRemaining."));
  EXPECT_EQ(host.published.size(), 2u);
  EXPECT_EQ(plugin.runs, 0);
  // The migration stays started: answered without asking the core again.
  RemotingResponse response;
  const Expected<bool> needed = plugin.needsMigration(response);
  ASSERT_TRUE(needed);
  EXPECT_FALSE(*needed);
  EXPECT_EQ(host.requests.size(), 2u);
  plugin.shutdown();
}

}  // namespace
}  // namespace Quor
