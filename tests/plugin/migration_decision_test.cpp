// The decision from the core's command line, the attempt counter, the
// installation root and the order in which a run's failures win.

#include "plugin/migration_decision.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "binding/value.h"
#include "logging/make_error.h"
#include "plugin/client_migration_run.h"
#include "plugin/installation_root.h"

namespace Quor {
namespace {

using Arguments = std::vector<std::string>;

TEST(MigrationDecision, FollowsTheFlagsInOrder) {
  const char* notZamp = "Opt in migration is not needed as we are not using zamp.";
  const char* disabled = "Opt in migration disabled due to --allow-multiple-clients flag.";
  const char* notKxu = "TessarynClient was not launched from KXU, assuming migration has been successfully performed.";
  const struct {
    Arguments arguments;
    bool needed;
    const char* logLine;
  } cases[] = {
      {{"--no-zamp", "--from-kxu"}, false, notZamp},
      {{"--from-kxu"}, true, nullptr},
      {{"--allow-multiple-clients", "--from-kxu"}, false, disabled},
      {{}, false, notKxu},
      {{"no-zamp", "--from-kxu"}, true, nullptr},
      {{"--from-kxu=1"}, false, notKxu},
      {{"--FROM-KXU"}, false, notKxu},
      {{"--from-kxu", "--no-zamp", "--allow-multiple-clients"}, false, notZamp},
  };
  for (const auto& testCase : cases) {
    SCOPED_TRACE(testing::PrintToString(testCase.arguments));
    const MigrationDecision decision = decideMigration(testCase.arguments);
    EXPECT_EQ(decision.needed, testCase.needed);
    EXPECT_STREQ(decision.logLine, testCase.logLine);
  }
}

TEST(MigrationDecision, FlagNamesGetTheirDashesOnce) {
  EXPECT_TRUE(hasFlag({"--x"}, "x"));
  EXPECT_TRUE(hasFlag({"--x"}, "--x"));
  EXPECT_FALSE(hasFlag({"x"}, "x"));
  EXPECT_FALSE(hasFlag({"----x"}, "--x"));
}

TEST(AttemptCounter, IsReadLenientlyAndDecremented) {
  const struct {
    const char* name;
    std::function<void(Value&)> stored;
    std::uint64_t written;
  } cases[] = {
      {"nothing stored", [](Value&) {}, 2},
      {"hexadecimal text", [](Value& v) { v.setString("0x10"); }, 15},
      {"octal text", [](Value& v) { v.setString("010"); }, 7},
      {"text without a number", [](Value& v) { v.setString("many"); }, UINT64_MAX},
      {"zero", [](Value& v) { v.setUnsigned(std::uint64_t{0}); }, UINT64_MAX},
      {"signed", [](Value& v) { v.setSigned(std::int64_t{5}); }, 4},
      {"float", [](Value& v) { v.setFloat(2.9); }, 1},
      {"bool", [](Value& v) { v.setBool(true); }, 0},
  };
  for (const auto& testCase : cases) {
    SCOPED_TRACE(testCase.name);
    Value stored;
    testCase.stored(stored);
    EXPECT_EQ(attemptsRemainingAfterThisRun(stored), testCase.written);
  }
}

TEST(InstallationRoot, IsSixRealFolderLevelsUp) {
  EXPECT_EQ(folderLevelsBelowRoot("C:\\"), 0u);
  EXPECT_EQ(folderLevelsBelowRoot("C:\\a\\\\b\\"), 2u);
  EXPECT_EQ(folderLevelsBelowRoot("\\\\server\\share\\a\\b"), 2u);
  EXPECT_EQ(folderLevelsBelowRoot("\\\\?\\C:\\a\\b\\c"), 3u);
  EXPECT_EQ(folderLevelsBelowRoot("\\\\?\\UNC\\server\\share\\a"), 1u);

  const Expected<std::string> deep = installationRoot("C:\\Games\\T with space\\1\\2\\3\\4\\5\\Client");
  ASSERT_TRUE(deep) << deep.error().message;
  EXPECT_EQ(*deep, "C:\\Games\\T with space");
  const Expected<std::string> driveRoot = installationRoot("D:\\1\\2\\3\\4\\5\\Client");
  ASSERT_TRUE(driveRoot) << driveRoot.error().message;
  EXPECT_EQ(*driveRoot, "D:\\");

  const Expected<std::string> shallow = installationRoot("C:\\Games\\Client");
  ASSERT_FALSE(shallow);
  EXPECT_EQ(shallow.error().code, 0);
  EXPECT_EQ(textForm(shallow.error()),
            "Cannot find the installation root: the current directory C:\\Games\\Client is fewer than six folder "
            "levels below its root.");
  EXPECT_FALSE(installationRoot(""));
}

TEST(ClientMigrationRun, RunsEveryStepAndTheLocalFailureWinsThenElevatedThenCleanup) {
  const PluginError local = makeError(55, "Failed to delete %s", "x.lnk");
  const PluginError elevated = makeError(0, "Player Declined Uac Prompt");
  const PluginError cleanup = makeError(0, "Failed to remove one or more uninstaller files.");
  const struct {
    bool localFails, elevatedFails, cleanupFails;
    const PluginError* winner;
  } cases[] = {
      {false, false, false, nullptr},  {true, true, true, &local},         {false, true, true, &elevated},
      {false, false, true, &cleanup},  {true, false, false, &local},       {false, true, false, &elevated},
  };
  for (const auto& testCase : cases) {
    std::vector<std::string> calls;
    const ClientMigrationSteps steps{
        [] { return std::string("C:\\Games\\T\\a\\b\\c\\d\\e\\Client"); },
        [&](const std::string& root) -> Expected<void> {
          calls.push_back("elevated " + root);
          if (testCase.elevatedFails) return elevated;
          return {};
        },
        [&](std::string_view root) -> Expected<void> {
          calls.push_back("local " + std::string(root));
          if (testCase.localFails) return local;
          return {};
        },
        [&]() -> Expected<void> {
          calls.push_back("cleanup");
          if (testCase.cleanupFails) return cleanup;
          return {};
        }};
    const Expected<void> result = runClientMigration(steps);
    EXPECT_EQ(calls, (std::vector<std::string>{"elevated C:\\Games\\T", "local C:\\Games\\T", "cleanup"}));
    if (testCase.winner == nullptr) {
      EXPECT_TRUE(result);
    } else {
      ASSERT_FALSE(result);
      EXPECT_EQ(textForm(result.error()), textForm(*testCase.winner));
    }
  }
}

TEST(ClientMigrationRun, WithoutAnInstallationRootOnlyTheCleanupRunsAndTheRootErrorStands) {
  int cleanups = 0;
  int others = 0;
  const ClientMigrationSteps steps{
      [] { return std::string("C:\\Client"); },
      [&](const std::string&) -> Expected<void> { return ++others, Expected<void>(); },
      [&](std::string_view) -> Expected<void> { return ++others, Expected<void>(); },
      [&]() -> Expected<void> { return ++cleanups, makeError(0, "Failed to remove one or more uninstaller files."); }};
  const Expected<void> result = runClientMigration(steps);
  ASSERT_FALSE(result);
  EXPECT_NE(result.error().message.find("C:\\Client"), std::string::npos) << result.error().message;
  EXPECT_EQ(cleanups, 1);
  EXPECT_EQ(others, 0);
}

}  // namespace
}  // namespace Quor
