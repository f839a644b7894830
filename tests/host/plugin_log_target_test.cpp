// The log target installed at start: the core receives the bare message of
// every accepted record, the consoles nothing, and a second start installs
// nothing.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "host/plugin_log_target.h"
#include "logging/logger.h"
#include "tests/host/fake_host.h"

namespace Quor::HostTest {
namespace {

using ::testing::ElementsAre;
using ::testing::Pair;

// The logger as start finds it in a fresh process: console targets in place.
class PluginLogTargetTest : public ::testing::Test {
 protected:
  void SetUp() override { acquireLogger(); }
  void TearDown() override { releaseLogger(); }
};

TEST_F(PluginLogTargetTest, StartHandsRecordsToTheCoreAlone) {
  FakeHost host;
  TestPlugin first;
  first.loadAndStart(host);
  ASSERT_NE(first.pluginLogTarget(), nullptr);
  EXPECT_EQ(findTarget("PluginLogTarget"), first.pluginLogTarget());
  EXPECT_FALSE(stdErrTarget()->isRegistered());
  EXPECT_FALSE(stdOutTarget()->isRegistered());
  EXPECT_FALSE(debuggerTarget()->isRegistered());
  EXPECT_EQ(getMinimumLevel(), LogLevel::Okay);
  EXPECT_EQ(getExcludedCategories(), LogCategory::Xtr);
  const LogTargetSettings settings = first.pluginLogTarget()->settings();
  EXPECT_EQ(settings.minimumLevel, 0);
  EXPECT_EQ(settings.includedCategories, 0u);
  EXPECT_EQ(settings.excludedCategories, 0u);
  EXPECT_EQ(settings.format, "#D| #L| #G| #M");

  TestPlugin second;
  second.loadAndStart(host);
  EXPECT_EQ(second.pluginLogTarget(), nullptr);

  host.logLines.clear();
  log(LogLevel::Warn, LogCategory::Gen, "warned %d", 1);
  log(LogLevel::Okay, LogCategory::Dbg, "okay");
  log(LogLevel::Error, LogCategory::Xtr, "extra");
  EXPECT_THAT(host.logLines, ElementsAre(Pair(1u, "warned 1"), Pair(0u, "okay")));
}

}  // namespace
}  // namespace Quor::HostTest
